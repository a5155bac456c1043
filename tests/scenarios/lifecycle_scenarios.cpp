#include "lifecycle_scenarios.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "expected_console.h"
#include "expected_game_log.h"

namespace {

constexpr std::uint32_t kSize = 816;
constexpr std::uint32_t kVersion = 174;

// ---- the server folder most scenarios use ----
void Lay_Out_Server(const ServerFolder& folder) {
  folder.Write_Settings({{"Complex", "3"}, {"Walls", "1"}, {"M01", "2"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
  folder.Write_Versions("Walls", "C&C_Walls.ldd", 1);
  folder.Write_Versions("M01", "m01.ldd", 2);
}

// The 33 cells of the host's table the binding may write.
#define EXTENSION_CELL(name, offset) {#name, offset},
#define EXTENSION_OWN(name)
const struct {
  const char* name;
  std::size_t offset;
} kCells[] = {
#include "host/extension_exports.inc"
};
#undef EXTENSION_CELL
#undef EXTENSION_OWN

#define EXTENSION_CELL(name, offset) #name,
#define EXTENSION_OWN(name) #name,
const char* const kBindingOrder[] = {
#include "host/extension_exports.inc"
};
#undef EXTENSION_CELL
#undef EXTENSION_OWN

MessageBoxRecord Missing_Export_Box(const std::string& name) {
  return {name, "Error getting function address from bhs.dll", 0x30};
}

void Plant_Cells(PluginDriver& driver) {
  for (const auto& cell : kCells) driver.Set_Command_Cell(cell.offset, 0xC0DE0000u + static_cast<std::uint32_t>(cell.offset));
}

void Expect_Cells_Planted(PluginDriver& driver) {
  for (const auto& cell : kCells) {
    EXPECT_EQ(driver.Command_Cell(cell.offset), 0xC0DE0000u + cell.offset) << cell.name;
  }
}

void Load(PluginDriver& driver) {
  driver.Attach();
  EXPECT_TRUE(driver.Check_Version());
  driver.Plugin_Load();
}

// ---- scenarios ----

void Whole_Life(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out_Server(folder);
  driver.Attach();
  EXPECT_EQ(driver.Take_Console(), "");
  const HostBlockReport attached = driver.Host_Blocks();

  const std::vector<unsigned char> before = driver.Plugin_Info_Bytes();
  EXPECT_TRUE(driver.Check_Version());
  EXPECT_EQ(driver.Plugin_Info_String(64), "2.0.2");
  driver.Plugin_Load();
  EXPECT_EQ(driver.Plugin_Info_String(4), "Harvane Plug-In");
  EXPECT_EQ(driver.Plugin_Info_String(36), "1.0");
  const std::vector<unsigned char> after = driver.Plugin_Info_Bytes();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[92], 0);
  for (std::size_t byte = 0; byte < after.size(); ++byte) {
    const bool written = (byte >= 8 && byte < 32) || (byte >= 40 && byte < 64) || (byte >= 68 && byte < 92) || byte == 92;
    if (!written) {
      EXPECT_EQ(after[byte], before[byte]) << "byte " << byte << " of the plug-in information";
    }
  }

  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), kNoticeLine + Count_Line("C&C_Complex.mix", 3) + Count_Line("C&C_Walls.mix", 1) +
                                       Count_Line("M01.mix", 2) + kStagingOpening + Staged("Complex") +
                                       Staged("Walls") + Staged("M01"));
  EXPECT_TRUE(driver.Take_Boxes().empty());
  EXPECT_EQ(folder.Read("data/C&C_Complex.ldd"), Version_Content("Complex", 1));
  EXPECT_EQ(folder.Read("data/C&C_Walls.ldd"), Version_Content("Walls", 1));
  EXPECT_EQ(folder.Read("data/m01.ldd"), Version_Content("M01", 1));
  EXPECT_EQ(folder.Read("data/TEMPHarvane.ini"), folder.Read("Harvane.ini"));
  const std::string log = folder.Read(Today_Log_File("gamelog"));
  EXPECT_NE(log.find("] _GENERAL New settings detected and loaded from Harvane.ini!"), std::string::npos) << log;
  for (const auto& cell : kCells) {
    EXPECT_EQ(driver.Command_Cell(cell.offset), driver.Extension_Export_Address(cell.name)) << cell.name;
  }

  struct Play {
    const char* map;
    std::string console;
    const char* data_file;
    std::string content;
  };
  const Play plays[] = {
      {"C&C_Complex.mix", Rotated("Complex", "Complex2\\C&C_Complex.ldd"), "data/C&C_Complex.ldd", Version_Content("Complex", 2)},
      {"M01.mix", Rotated("M01", "M012\\m01.ldd"), "data/m01.ldd", Version_Content("M01", 2)},
      {"C&C_Complex.mix", Rotated("Complex", "Complex3\\C&C_Complex.ldd"), "data/C&C_Complex.ldd", Version_Content("Complex", 3)},
      {"C&C_Walls.mix", "", "data/C&C_Walls.ldd", Version_Content("Walls", 1)},
      {"C&C_Field.mix", "", "data/C&C_Complex.ldd", Version_Content("Complex", 3)},
      {"C&C_Complex.mix", Rotated("Complex", "Complex1\\C&C_Complex.ldd"), "data/C&C_Complex.ldd", Version_Content("Complex", 1)},
      {"M01.mix", Rotated("M01", "M011\\m01.ldd"), "data/m01.ldd", Version_Content("M01", 1)},
      {"c&c_complex.mix", "", "data/C&C_Complex.ldd", Version_Content("Complex", 1)},
  };
  for (const Play& play : plays) {
    SCOPED_TRACE(play.map);
    driver.Level_Loaded(play.map);
    EXPECT_EQ(driver.Take_Console(), play.console);
    EXPECT_EQ(folder.Read(play.data_file), play.content);
  }

  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists("data/TEMPHarvane.ini"));
  const std::vector<IniRelease> releases = driver.Ini_Releases();
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_TRUE(releases[0].staged_copy_present) << "the handle must be released before the copy is deleted";
  const HostBlockReport unloaded = driver.Host_Blocks();
  EXPECT_EQ(unloaded.live_blocks, attached.live_blocks) << "every block of the load returned";
  EXPECT_EQ(unloaded.foreign_releases, 0u);
  EXPECT_GT(unloaded.allocations, attached.allocations);
}

void Refused_Table(PluginDriver& driver, ServerFolder& folder, std::uint32_t size, std::uint32_t version) {
  Lay_Out_Server(folder);
  folder.Write("data/TEMPHarvane.ini", "stale\n");
  Load(driver);
  driver.Take_Console();
  Plant_Cells(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_FALSE(driver.Set_Script_Commands(size, version));
  Expect_Cells_Planted(driver);
  EXPECT_TRUE(driver.Take_Boxes().empty());
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists("data/C&C_Complex.ldd"));
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists("data/C&C_Complex.ldd"));
  driver.Unload();
  EXPECT_EQ(folder.Read("data/TEMPHarvane.ini"), "stale\n") << "unload deleted a file it never staged";
  EXPECT_EQ(driver.Host_Blocks().live_blocks, loaded.live_blocks);
}

void Refused_Wrong_Version(PluginDriver& driver, ServerFolder& folder) { Refused_Table(driver, folder, 816, 173); }
void Refused_Larger_Size(PluginDriver& driver, ServerFolder& folder) { Refused_Table(driver, folder, 817, 174); }
void Refused_Smaller_Size(PluginDriver& driver, ServerFolder& folder) { Refused_Table(driver, folder, 815, 174); }

// Binds with the setup's extension library and expects one box per missing name, in order.
void Expect_Missing_Exports(PluginDriver& driver, ServerFolder& folder, const std::vector<std::string>& missing) {
  Lay_Out_Server(folder);
  Load(driver);
  Plant_Cells(driver);
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  std::vector<MessageBoxRecord> expected;
  for (const std::string& name : missing) expected.push_back(Missing_Export_Box(name));
  EXPECT_EQ(driver.Take_Boxes(), expected);
  for (const auto& cell : kCells) {
    const bool is_missing = std::find(missing.begin(), missing.end(), cell.name) != missing.end();
    const std::uint32_t expected_cell = is_missing ? 0u : driver.Extension_Export_Address(cell.name);
    EXPECT_EQ(driver.Command_Cell(cell.offset), expected_cell) << cell.name;
  }
  EXPECT_EQ(folder.Read("data/C&C_Complex.ldd"), Version_Content("Complex", 1)) << "binding went on to staging";
  driver.Unload();
}

void Missing_Display_Text_Player(PluginDriver& driver, ServerFolder& folder) {
  Expect_Missing_Exports(driver, folder, {"New_Display_Text_Player"});
}
void Missing_Fade_Opacity(PluginDriver& driver, ServerFolder& folder) {
  Expect_Missing_Exports(driver, folder, {"New_Set_Screen_Fade_Opacity"});
}
void Missing_Several(PluginDriver& driver, ServerFolder& folder) {
  Expect_Missing_Exports(driver, folder, {"New_Enable_Stealth", "New_Display_Text_Player", "GetExplosionObj"});
}
void Missing_Every_Export(PluginDriver& driver, ServerFolder& folder) {
  Expect_Missing_Exports(driver, folder, std::vector<std::string>(std::begin(kBindingOrder), std::end(kBindingOrder)));
}

void Second_Accepted_Table(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out_Server(folder);
  Load(driver);
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  driver.Level_Loaded("C&C_Complex.mix");  // Complex moves to version 2
  const HostBlockReport first = driver.Host_Blocks();
  folder.Write_Settings({{"Complex", "2"}});
  driver.Take_Console();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), kNoticeLine + Count_Line("C&C_Complex.mix", 2) + kStagingOpening + Staged("Complex"));
  EXPECT_EQ(folder.Read("data/TEMPHarvane.ini"), folder.Read("Harvane.ini")) << "the new staged copy survives";
  EXPECT_EQ(driver.Host_Blocks().live_blocks, first.live_blocks) << "the replaced settings object was released";
  // The cursor kept its place (2) and wraps with the new, smaller count.
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), Rotated("Complex", "Complex1\\C&C_Complex.ldd"));
  driver.Unload();
  EXPECT_FALSE(folder.Exists("data/TEMPHarvane.ini"));
  EXPECT_EQ(driver.Ini_Releases().size(), 2u);
}

void Build_Without_Game_Services(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out_Server(folder);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  // No INI routine in this build: every count reads as 0, nothing is staged.
  EXPECT_EQ(driver.Take_Console(), kStagingOpening);
  EXPECT_TRUE(folder.Exists("data/TEMPHarvane.ini"));
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  driver.Unload();
  EXPECT_FALSE(folder.Exists("data/TEMPHarvane.ini"));
  EXPECT_EQ(driver.Host_Blocks().live_blocks, loaded.live_blocks);
  EXPECT_EQ(driver.Host_Blocks().foreign_releases, 0u);
}

void Unrecognised_Host(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out_Server(folder);
  Load(driver);
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), kStagingOpening);
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  driver.Unload();
  EXPECT_FALSE(folder.Exists("data/TEMPHarvane.ini"));
  EXPECT_EQ(driver.Host_Blocks().allocations, 0u) << "no host allocator exists to be called";
  EXPECT_EQ(driver.Host_Blocks().foreign_releases, 0u);
}

void Log_Switches_Off(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out_Server(folder);
  Load(driver);
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console().rfind(Count_Line("C&C_Complex.mix", 3), 0), 0u) << "no notice on the console";
  EXPECT_FALSE(folder.Exists(Today_Log_File("gamelog")));
  driver.Unload();
}

void Settings_Object_Without_Memory(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out_Server(folder);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists("data/C&C_Complex.ldd"));
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  driver.Unload();
  EXPECT_EQ(driver.Host_Blocks().live_blocks, loaded.live_blocks);
  EXPECT_EQ(driver.Host_Blocks().foreign_releases, 0u);
}

void Missing_Version_Folder(PluginDriver& driver, ServerFolder& folder) {
  folder.Write_Settings({{"Complex", "3"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 1);  // Complex2 and Complex3 are missing
  Load(driver);
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  driver.Take_Console();
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), Rotation_Failed("Complex", 3));
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), Rotation_Failed("Complex", 3)) << "the next notice tries the version after";
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), Rotated("Complex", "Complex1\\C&C_Complex.ldd"));
  driver.Unload();
}

HostSetup Build(std::vector<std::int32_t> signatures) {
  HostSetup setup;
  setup.signature_builds = std::move(signatures);
  return setup;
}

HostSetup Missing(std::vector<std::string> names) {
  HostSetup setup;
  setup.missing_exports = std::move(names);
  return setup;
}

HostSetup Exporting_None() {
  HostSetup setup;
  setup.extension_exports_none = true;
  return setup;
}

HostSetup Log_Off() {
  HostSetup setup;
  setup.write_all_headers = false;
  return setup;
}

// The load takes two vector math objects at attach; the settings object is the next block.
HostSetup Null_Settings_Object() {
  HostSetup setup;
  setup.null_allocation_at = 3;
  return setup;
}

}  // namespace

const DriverScenario kLifecycleScenarios[] = {
    {"whole life, build 0", Build({0}), Whole_Life},
    {"whole life, build 1", Build({1}), Whole_Life},
    {"whole life, SSE flag set", [] { HostSetup s = Build({0}); s.sse_flag = 1; return s; }(), Whole_Life},
    {"refused: version 173", HostSetup{}, Refused_Wrong_Version},
    {"refused: size 817", HostSetup{}, Refused_Larger_Size},
    {"refused: size 815", HostSetup{}, Refused_Smaller_Size},
    {"missing New_Display_Text_Player", Missing({"New_Display_Text_Player"}), Missing_Display_Text_Player},
    {"missing New_Set_Screen_Fade_Opacity", Missing({"New_Set_Screen_Fade_Opacity"}), Missing_Fade_Opacity},
    {"missing several", Missing({"New_Enable_Stealth", "New_Display_Text_Player", "GetExplosionObj"}), Missing_Several},
    {"missing every export", Exporting_None(), Missing_Every_Export},
    {"second accepted table", HostSetup{}, Second_Accepted_Table},
    {"build 4", Build({4}), Build_Without_Game_Services},
    {"unrecognised host", Build({}), Unrecognised_Host},
    {"log switches off", Log_Off(), Log_Switches_Off},
    {"no memory for the settings object", Null_Settings_Object(), Settings_Object_Without_Memory},
    {"missing version folder", HostSetup{}, Missing_Version_Folder},
};
const std::size_t kLifecycleScenarioCount = sizeof kLifecycleScenarios / sizeof kLifecycleScenarios[0];
