#include "fault_scenarios.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "expected_catalogue.h"
#include "expected_console.h"
#include "expected_game_log.h"
#include "file_system_faults.h"

namespace {

constexpr std::uint32_t kSize = 816;
constexpr std::uint32_t kVersion = 174;

const ExpectedRow& Map_Keyed(const std::string& key) {
  for (const ExpectedRow& map : kExpectedCatalogue) {
    if (key == map.key) return map;
  }
  std::abort();  // a scenario names a key that is not in the expected catalogue
}

const char kStagedCopy[] = "data/TEMPHarvane.ini";

// ---- the server folder ----
using Settings = std::vector<std::pair<std::string, std::string>>;

// Settings and every version folder they promise (negative and zero counts have none).
void Lay_Out(const ServerFolder& folder, const Settings& settings) {
  folder.Write_Settings(settings);
  for (const auto& [key, value] : settings) {
    const ExpectedRow& map = Map_Keyed(key);
    folder.Write_Versions(map.key, map.level_file_name, std::atoi(value.c_str()));
  }
}

const Settings kThreeMaps = {{"Complex", "3"}, {"Walls", "1"}, {"M01", "2"}};

// What an accepted commands table prints when the settings load and every copy succeeds.
std::string Start_Console(const Settings& settings) {
  std::string counts, staging;
  bool any_set = false;
  for (const ExpectedRow& map : kExpectedCatalogue) {
    for (const auto& [key, value] : settings) {
      if (key != map.key) continue;
      const int count = std::atoi(value.c_str());
      any_set = any_set || count != 0;
      if (count > 0) {
        counts += Count_Line(map, count);
        staging += Staged(map);
      }
    }
  }
  return (any_set ? kNoticeLine : "") + counts + kStagingOpening + staging;
}

void Remove_Tree(const ServerFolder& folder, const std::string& relative) {
  const std::string command = "rm -rf '" + folder.Path() + "/" + relative + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Attach, version query, load.
void Load(PluginDriver& driver) {
  driver.Attach();
  EXPECT_TRUE(driver.Check_Version());
  driver.Plugin_Load();
  EXPECT_EQ(driver.Take_Console(), "");
}

// Every block given out since `loaded` is back, and none came back that the host never gave.
void Expect_Blocks_Back(PluginDriver& driver, const HostBlockReport& loaded) {
  const HostBlockReport now = driver.Host_Blocks();
  EXPECT_EQ(now.live_blocks, loaded.live_blocks) << "host blocks still held after unload";
  EXPECT_EQ(now.foreign_releases, 0u) << "blocks released to the host that it never gave out";
}

// The administrator's version files of the given rows are all still there, as written.
void Expect_Version_Files_Intact(const ServerFolder& folder, const std::vector<std::size_t>& rows, int versions) {
  for (std::size_t row : rows) {
    const ExpectedRow& map = kExpectedCatalogue[row];
    for (int version = 1; version <= versions; ++version) {
      EXPECT_EQ(folder.Read(Version_File(map, version)), Version_Content(map.key, version))
          << Version_File(map, version);
    }
  }
}

// ================================================================ copy failures

// Where one copy is made to fail: a row, and the version that copy reads.
struct FaultSite {
  const ServerFolder& folder;
  const ExpectedRow& map;
  int version;
  std::unique_ptr<RunningProgram> program;
  std::string program_bytes;

  std::string Full(const std::string& relative) const { return folder.Path() + "/" + relative; }
};

struct CopyFault {
  const char* what;
  int code;  // what GetLastError gives for it
  void (*make)(FaultSite& site);
  void (*expect_untouched)(const FaultSite& site);  // the files involved are as they were made
  void (*mend)(FaultSite& site);
};

// 2: the version folder is there, its level file is not.
void Remove_Version_File(FaultSite& site) { site.folder.Remove(Version_File(site.map, site.version)); }
void Expect_Version_Folder_Empty(const FaultSite& site) {
  EXPECT_TRUE(Is_Directory(site.Full(Version_Folder(site.map, site.version))));
  EXPECT_FALSE(site.folder.Exists(Version_File(site.map, site.version)));
}
void Restore_Version_File(FaultSite& site) {
  site.folder.Write(Version_File(site.map, site.version), Version_Content(site.map.key, site.version));
}

// 3: no version folder at all.
void Remove_Version_Folder(FaultSite& site) { Remove_Tree(site.folder, Version_Folder(site.map, site.version)); }
void Expect_No_Version_Folder(const FaultSite& site) {
  EXPECT_FALSE(site.folder.Exists(Version_Folder(site.map, site.version))) << "the copy made a folder";
}

// 5: a folder in data where the level file goes, holding a file of the administrator's.
const char kKeptFile[] = "/kept.txt";
const char kKeptText[] = "the administrator's own file\n";
void Put_Folder_At_Data_File(FaultSite& site) {
  site.folder.Remove(Data_File(site.map));
  site.folder.Write(Data_File(site.map) + kKeptFile, kKeptText);
}
void Expect_Data_Folder_Kept(const FaultSite& site) {
  EXPECT_TRUE(Is_Directory(site.Full(Data_File(site.map))));
  EXPECT_EQ(site.folder.Read(Data_File(site.map) + kKeptFile), kKeptText);
}
void Remove_Folder_At_Data_File(FaultSite& site) { Remove_Tree(site.folder, Data_File(site.map)); }

// 5: a folder where the version's level file should be.
void Put_Folder_At_Version_File(FaultSite& site) {
  site.folder.Remove(Version_File(site.map, site.version));
  ASSERT_EQ(::mkdir(site.Full(Version_File(site.map, site.version)).c_str(), 0755), 0);
}
void Expect_Version_File_Folder_Kept(const FaultSite& site) {
  EXPECT_TRUE(Is_Directory(site.Full(Version_File(site.map, site.version))));
}
void Replace_Folder_With_Version_File(FaultSite& site) {
  ::rmdir(site.Full(Version_File(site.map, site.version)).c_str());
  Restore_Version_File(site);
}

// 5: a version file nobody may read (permission bits obeyed).
void Make_Version_File_Unreadable(FaultSite& site) {
  ASSERT_EQ(::chmod(site.Full(Version_File(site.map, site.version)).c_str(), 0), 0);
}
void Expect_Version_File_Kept_Unreadable(const FaultSite& site) {
  struct stat status {};
  ASSERT_EQ(::stat(site.Full(Version_File(site.map, site.version)).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0u);
  EXPECT_EQ(static_cast<std::size_t>(status.st_size), Version_Content(site.map.key, site.version).size());
}
void Make_Version_File_Readable(FaultSite& site) {
  ::chmod(site.Full(Version_File(site.map, site.version)).c_str(), 0644);
  EXPECT_EQ(site.folder.Read(Version_File(site.map, site.version)), Version_Content(site.map.key, site.version));
}

// 5: the level file in data is read-only (permission bits obeyed).
const char kInPlay[] = "the version in play\n";
void Make_Data_File_Read_Only(FaultSite& site) {
  site.folder.Write(Data_File(site.map), kInPlay);
  ASSERT_EQ(::chmod(site.Full(Data_File(site.map)).c_str(), 0444), 0);
}
void Expect_Data_File_Kept(const FaultSite& site) { EXPECT_EQ(site.folder.Read(Data_File(site.map)), kInPlay); }
void Make_Data_File_Writable(FaultSite& site) { ::chmod(site.Full(Data_File(site.map)).c_str(), 0644); }

// 32: the level file in data is a running program's file.
void Link_Data_File_To_Running_Program(FaultSite& site) {
  site.program = std::make_unique<RunningProgram>(site.Full(std::string("running-") + site.map.key));
  ASSERT_TRUE(site.program->Started()) << "could not start a program to hold its file busy";
  site.program_bytes = File_Bytes(site.program->Path());
  site.folder.Remove(Data_File(site.map));
  ASSERT_EQ(::symlink(site.program->Path().c_str(), site.Full(Data_File(site.map)).c_str()), 0);
}
void Expect_Running_Program_Untouched(const FaultSite& site) {
  EXPECT_TRUE(Is_Link_To(site.Full(Data_File(site.map)), site.program->Path()));
  EXPECT_FALSE(site.program_bytes.empty());
  EXPECT_EQ(File_Bytes(site.program->Path()), site.program_bytes) << "the running program's file was written";
}
void Unlink_Running_Program(FaultSite& site) {
  site.folder.Remove(Data_File(site.map));
  site.program.reset();
}

// 112: the level file in data leads to a device that is always full.
const char kFullDevice[] = "/dev/full";
void Link_Data_File_To_Full_Device(FaultSite& site) {
  struct stat status {};
  ASSERT_EQ(::stat(kFullDevice, &status), 0) << "this system has no " << kFullDevice;
  site.folder.Remove(Data_File(site.map));
  ASSERT_EQ(::symlink(kFullDevice, site.Full(Data_File(site.map)).c_str()), 0);
}
void Expect_Full_Device_Link_Kept(const FaultSite& site) {
  EXPECT_TRUE(Is_Link_To(site.Full(Data_File(site.map)), kFullDevice));
}
void Remove_Data_File_Link(FaultSite& site) { site.folder.Remove(Data_File(site.map)); }

// 31: the level file in data is a link that leads to itself.
void Link_Data_File_To_Itself(FaultSite& site) {
  site.folder.Remove(Data_File(site.map));
  ASSERT_EQ(::symlink(site.map.level_file_name, site.Full(Data_File(site.map)).c_str()), 0);
}
void Expect_Link_Loop_Kept(const FaultSite& site) {
  EXPECT_TRUE(Is_Link_To(site.Full(Data_File(site.map)), site.map.level_file_name));
}

const CopyFault kCopyFaults[] = {
    {"version file missing", 2, Remove_Version_File, Expect_Version_Folder_Empty, Restore_Version_File},
    {"version folder missing", 3, Remove_Version_Folder, Expect_No_Version_Folder, Restore_Version_File},
    {"a folder where the level file goes", 5, Put_Folder_At_Data_File, Expect_Data_Folder_Kept,
     Remove_Folder_At_Data_File},
    {"a folder where the version file should be", 5, Put_Folder_At_Version_File, Expect_Version_File_Folder_Kept,
     Replace_Folder_With_Version_File},
    {"unreadable version file", 5, Make_Version_File_Unreadable, Expect_Version_File_Kept_Unreadable,
     Make_Version_File_Readable},
    {"read-only level file in data", 5, Make_Data_File_Read_Only, Expect_Data_File_Kept, Make_Data_File_Writable},
    {"level file held by a running program", 32, Link_Data_File_To_Running_Program,
     Expect_Running_Program_Untouched, Unlink_Running_Program},
    {"disk full", 112, Link_Data_File_To_Full_Device, Expect_Full_Device_Link_Kept, Remove_Data_File_Link},
    {"level file is a link to itself", 31, Link_Data_File_To_Itself, Expect_Link_Loop_Kept, Remove_Data_File_Link},
};
constexpr std::size_t kCopyFaultCount = sizeof kCopyFaults / sizeof kCopyFaults[0];

// Every row has three versions.
Settings All_Maps_With_Three_Versions() {
  Settings settings;
  for (const ExpectedRow& map : kExpectedCatalogue) settings.emplace_back(map.key, "3");
  return settings;
}

// One fault per row, from `first_row` on; each site reads `version`.
std::vector<std::unique_ptr<FaultSite>> Make_Faults(const ServerFolder& folder, std::size_t first_row, int version) {
  std::vector<std::unique_ptr<FaultSite>> sites;
  for (std::size_t fault = 0; fault < kCopyFaultCount; ++fault) {
    const ExpectedRow& map = kExpectedCatalogue[first_row + fault];
    sites.push_back(std::unique_ptr<FaultSite>(new FaultSite{folder, map, version, nullptr, {}}));
    SCOPED_TRACE(kCopyFaults[fault].what);
    kCopyFaults[fault].make(*sites.back());
  }
  return sites;
}

bool Row_Is_Faulted(std::size_t row, std::size_t first_row) { return row >= first_row && row < first_row + kCopyFaultCount; }

// The startup staging meets each failure on a row of its own; every other row is staged, and
// once mended, a faulted map's next notice copies version 2.
void Staging_Meets_Every_Copy_Failure(PluginDriver& driver, ServerFolder& folder) {
  ASSERT_TRUE(Obey_Permission_Bits()) << "permission bits cannot be made to hold in this process";
  const Settings settings = All_Maps_With_Three_Versions();
  Lay_Out(folder, settings);
  const std::string settings_text = folder.Read("Harvane.ini");
  constexpr std::size_t kFirst = 0;
  auto sites = Make_Faults(folder, kFirst, 1);
  if (::testing::Test::HasFatalFailure()) return;

  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  std::string expected = kNoticeLine;
  for (const ExpectedRow& map : kExpectedCatalogue) expected += Count_Line(map, 3);
  expected += kStagingOpening;
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    const ExpectedRow& map = kExpectedCatalogue[row];
    expected += Copying(map);
    expected += Row_Is_Faulted(row, kFirst) ? Failed_Copy(kCopyFaults[row - kFirst].code) : Copy_Successful(map);
  }
  EXPECT_EQ(driver.Take_Console(), expected);

  std::vector<std::size_t> clean_rows;
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    if (Row_Is_Faulted(row, kFirst)) {
      SCOPED_TRACE(kCopyFaults[row - kFirst].what);
      kCopyFaults[row - kFirst].expect_untouched(*sites[row - kFirst]);
    } else {
      clean_rows.push_back(row);
      const ExpectedRow& map = kExpectedCatalogue[row];
      EXPECT_EQ(folder.Read(Data_File(map)), Version_Content(map.key, 1)) << map.key;
    }
  }
  Expect_Version_Files_Intact(folder, clean_rows, 3);
  EXPECT_EQ(folder.Read("Harvane.ini"), settings_text);

  for (std::size_t fault = 0; fault < kCopyFaultCount; ++fault) {
    SCOPED_TRACE(kCopyFaults[fault].what);
    FaultSite& site = *sites[fault];
    kCopyFaults[fault].mend(site);
    driver.Level_Loaded(site.map.map_file_name);
    EXPECT_EQ(driver.Take_Console(), Rotated(site.map, 2));
    EXPECT_EQ(folder.Read(Data_File(site.map)), Version_Content(site.map.key, 2));
  }
  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists(kStagedCopy));
  Expect_Blocks_Back(driver, loaded);
}

// The rotation meets each failure on a row of its own: the announcement, then the failure
// lines; every other row rotates; the cursor has moved on all the same, so once mended the
// faulted map's next notice copies version 3.
void Rotation_Meets_Every_Copy_Failure(PluginDriver& driver, ServerFolder& folder) {
  ASSERT_TRUE(Obey_Permission_Bits()) << "permission bits cannot be made to hold in this process";
  const Settings settings = All_Maps_With_Three_Versions();
  Lay_Out(folder, settings);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), Start_Console(settings));
  constexpr std::size_t kFirst = kExpectedRows - kCopyFaultCount;
  auto sites = Make_Faults(folder, kFirst, 2);
  if (::testing::Test::HasFatalFailure()) return;

  std::vector<std::size_t> clean_rows;
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    const ExpectedRow& map = kExpectedCatalogue[row];
    SCOPED_TRACE(map.map_file_name);
    driver.Level_Loaded(map.map_file_name);
    if (Row_Is_Faulted(row, kFirst)) {
      const CopyFault& fault = kCopyFaults[row - kFirst];
      SCOPED_TRACE(fault.what);
      EXPECT_EQ(driver.Take_Console(), Rotation_Failed(map, fault.code));
      fault.expect_untouched(*sites[row - kFirst]);
    } else {
      clean_rows.push_back(row);
      EXPECT_EQ(driver.Take_Console(), Rotated(map, 2));
      EXPECT_EQ(folder.Read(Data_File(map)), Version_Content(map.key, 2));
    }
  }
  Expect_Version_Files_Intact(folder, clean_rows, 3);

  for (std::size_t fault = 0; fault < kCopyFaultCount; ++fault) {
    SCOPED_TRACE(kCopyFaults[fault].what);
    FaultSite& site = *sites[fault];
    kCopyFaults[fault].mend(site);
    driver.Level_Loaded(site.map.map_file_name);
    EXPECT_EQ(driver.Take_Console(), Rotated(site.map, 3));
    EXPECT_EQ(folder.Read(Data_File(site.map)), Version_Content(site.map.key, 3));
  }
  driver.Unload();
  EXPECT_FALSE(folder.Exists(kStagedCopy));
  Expect_Blocks_Back(driver, loaded);
}

// ================================================================ the data folder

// No data folder: the settings copy cannot be made, the host opens a file that is not there,
// every count reads 0 and nothing is staged; no folder is made.
void Data_Folder_Missing_At_Start(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  const std::string settings_text = folder.Read("Harvane.ini");
  ASSERT_EQ(::rmdir((folder.Path() + "/data").c_str()), 0);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), kStagingOpening);
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists("data"));
  EXPECT_EQ(folder.Read("Harvane.ini"), settings_text);
  Expect_Version_Files_Intact(folder, {0}, 3);
  Expect_Blocks_Back(driver, loaded);
}

// The data folder goes away while the server runs: each rotation fails with 3 and moves on;
// once the folder is back the following version is copied.
void Data_Folder_Removed_While_Running(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), Start_Console(kThreeMaps));
  Remove_Tree(folder, "data");
  const ExpectedRow& complex = Map_Keyed("Complex");
  const ExpectedRow& m01 = Map_Keyed("M01");
  const struct {
    const ExpectedRow& map;
    std::string console;
  } plays[] = {
      {complex, Rotation_Failed(complex, 3)},
      {m01, Rotation_Failed(m01, 3)},
      {Map_Keyed("Walls"), ""},
      {complex, Rotation_Failed(complex, 3)},
  };
  for (const auto& play : plays) {
    driver.Level_Loaded(play.map.map_file_name);
    EXPECT_EQ(driver.Take_Console(), play.console) << play.map.map_file_name;
  }
  EXPECT_FALSE(folder.Exists("data")) << "a failed copy made the folder";
  ASSERT_EQ(::mkdir((folder.Path() + "/data").c_str(), 0755), 0);
  driver.Level_Loaded(complex.map_file_name);
  EXPECT_EQ(driver.Take_Console(), Rotated(complex, 1));
  EXPECT_EQ(folder.Read(Data_File(complex)), Version_Content("Complex", 1));
  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  Expect_Version_Files_Intact(folder, {0}, 3);
  Expect_Blocks_Back(driver, loaded);
}

// A read-only data folder, its files read-only too (as on a read-only volume), that still
// holds the staged copy of an earlier run: the copy can be neither deleted nor replaced, so
// its counts are the ones read; every staging and rotation copy is refused with 5, and the
// earlier copy is still there after unload.
void Read_Only_Data_Folder(PluginDriver& driver, ServerFolder& folder) {
  ASSERT_TRUE(Obey_Permission_Bits()) << "permission bits cannot be made to hold in this process";
  Lay_Out(folder, kThreeMaps);
  const std::string settings_text = folder.Read("Harvane.ini");
  const std::string earlier = "[General]\nComplex=2\nWalls=1\n";
  folder.Write(kStagedCopy, earlier);
  ASSERT_EQ(::chmod((folder.Path() + "/" + kStagedCopy).c_str(), 0444), 0);
  ASSERT_EQ(::chmod((folder.Path() + "/data").c_str(), 0555), 0);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  const ExpectedRow& complex = Map_Keyed("Complex");
  const ExpectedRow& walls = Map_Keyed("Walls");
  EXPECT_EQ(driver.Take_Console(), kNoticeLine + Count_Line(complex, 2) + Count_Line(walls, 1) + kStagingOpening +
                                       Copying(complex) + Failed_Copy(5) + Copying(walls) + Failed_Copy(5));
  driver.Level_Loaded(complex.map_file_name);
  EXPECT_EQ(driver.Take_Console(), Rotation_Failed(complex, 5));
  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_EQ(folder.Read(kStagedCopy), earlier);
  EXPECT_EQ(folder.Read("Harvane.ini"), settings_text);
  EXPECT_EQ(driver.Ini_Releases().size(), 1u);
  Expect_Blocks_Back(driver, loaded);
}

// A folder (with a file of the administrator's) where the staged settings copy goes: it is
// neither deleted nor written; the host reads no counts from it; nothing is staged.
void Folder_Where_The_Staged_Settings_Go(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  const std::string kept = std::string(kStagedCopy) + kKeptFile;
  folder.Write(kept, kKeptText);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), kStagingOpening);
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  driver.Unload();
  EXPECT_TRUE(Is_Directory(folder.Path() + "/" + kStagedCopy));
  EXPECT_EQ(folder.Read(kept), kKeptText);
  Expect_Blocks_Back(driver, loaded);
}

// ================================================================ the game log

// The log file cannot be opened: nothing reaches a file, the echo still reaches the console,
// and the rest of the start goes on.
void Log_File_Cannot_Be_Opened(PluginDriver& driver, ServerFolder& folder, const std::string& stem) {
  Lay_Out(folder, kThreeMaps);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), Start_Console(kThreeMaps));
  EXPECT_EQ(folder.Read(Data_File(Map_Keyed("Complex"))), Version_Content("Complex", 1));
  driver.Unload();
  struct stat status {};
  const bool log_written = ::lstat((folder.Path() + "/" + Today_Log_File(stem)).c_str(), &status) == 0 &&
                           S_ISREG(status.st_mode);
  EXPECT_FALSE(log_written);
  Expect_Blocks_Back(driver, loaded);
}

const char kStemInMissingFolder[] = "no-such-folder/gamelog";
void Log_In_Missing_Folder(PluginDriver& driver, ServerFolder& folder) {
  Log_File_Cannot_Be_Opened(driver, folder, kStemInMissingFolder);
  EXPECT_FALSE(folder.Exists("no-such-folder")) << "the writer made the folder";
}

void Folder_Where_The_Log_File_Goes(PluginDriver& driver, ServerFolder& folder) {
  const std::string kept = Today_Log_File("gamelog") + kKeptFile;
  folder.Write(kept, kKeptText);
  Log_File_Cannot_Be_Opened(driver, folder, "gamelog");
  EXPECT_EQ(folder.Read(kept), kKeptText);
}

// ================================================================ the host's services

// The INI service yields no handle: every count reads 0, nothing is staged, no handle is
// released; the staged copy is still made and deleted again.
void Ini_Service_Yields_Null(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), kStagingOpening);
  EXPECT_EQ(folder.Read(kStagedCopy), folder.Read("Harvane.ini"));
  EXPECT_FALSE(folder.Exists(Data_File(Map_Keyed("Complex"))));
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "");
  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_TRUE(driver.Ini_Releases().empty()) << "a null handle was handed back to the host";
  EXPECT_FALSE(folder.Exists(kStagedCopy));
  Expect_Blocks_Back(driver, loaded);
}

// The host has no game-data object: notices copy nothing and print nothing.
void Game_Data_Missing(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), Start_Console(kThreeMaps));
  for (const char* map : {"C&C_Complex.mix", "M01.mix", "C&C_Complex.mix"}) {
    driver.Level_Loaded(map);
    EXPECT_EQ(driver.Take_Console(), "") << map;
  }
  EXPECT_EQ(folder.Read(Data_File(Map_Keyed("Complex"))), Version_Content("Complex", 1));
  EXPECT_EQ(folder.Read(Data_File(Map_Keyed("M01"))), Version_Content("M01", 1));
  driver.Unload();
  Expect_Blocks_Back(driver, loaded);
}

// Names that are no catalogue map, the null name included: nothing is copied or printed and
// no cursor moves; the next true name rotates from where it was.
void Names_That_Are_No_Map(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  driver.Take_Console();
  const std::string huge(1 << 20, 'C');
  const std::string catalogue_name_then_more = std::string("C&C_Complex.mix") + std::string(4096, 'x');
  const struct {
    const char* what;
    const char* name;
  } names[] = {
      {"null", nullptr},
      {"empty", ""},
      {"without extension", "C&C_Complex"},
      {"another case", "c&c_complex.mix"},
      {"trailing blank", "C&C_Complex.mix "},
      {"leading blank", " C&C_Complex.mix"},
      {"longer extension", "C&C_Complex.mixx"},
      {"a row's prefix", "C&C_City"},
      {"a path", "data\\C&C_Complex.mix"},
      {"bytes above 127", "\xC3\x87&\xC3\x87_Complex.mix\xFF\xFE"},
      {"control characters", "\x01\x02\t\r\n"},
      {"a megabyte of letters", huge.c_str()},
      {"a catalogue name followed by more", catalogue_name_then_more.c_str()},
      {"a map that is not handled", "C&C_Glacier_Flying.mix"},
  };
  for (const auto& name : names) {
    driver.Level_Loaded(name.name);
    EXPECT_EQ(driver.Take_Console(), "") << name.what;
  }
  const ExpectedRow& complex = Map_Keyed("Complex");
  driver.Level_Loaded(complex.map_file_name);
  EXPECT_EQ(driver.Take_Console(), Rotated(complex, 2));
  driver.Unload();
  Expect_Blocks_Back(driver, loaded);
}

// The host calls out of the order the plug-in relies on: notices and unloads before any
// commands table, unload twice, a commands table after unload. Nothing breaks, nothing is
// released twice, and the plug-in works once the table comes.
void Calls_Out_Of_Order(PluginDriver& driver, ServerFolder& folder) {
  Lay_Out(folder, kThreeMaps);
  Load(driver);
  const HostBlockReport loaded = driver.Host_Blocks();
  driver.Level_Loaded("C&C_Complex.mix");
  driver.Unload();
  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), Start_Console(kThreeMaps));
  driver.Unload();
  driver.Unload();
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(driver.Take_Console(), "") << "a notice after unload rotated";
  EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
  EXPECT_EQ(driver.Take_Console(), Start_Console(kThreeMaps));
  const ExpectedRow& complex = Map_Keyed("Complex");
  driver.Level_Loaded(complex.map_file_name);
  EXPECT_EQ(driver.Take_Console(), Rotated(complex, 2));
  driver.Unload();
  EXPECT_EQ(driver.Ini_Releases().size(), 2u);
  Expect_Blocks_Back(driver, loaded);
}

HostSetup Ini_Null() {
  HostSetup setup;
  setup.ini_yields_null = true;
  return setup;
}

HostSetup No_Game_Data() {
  HostSetup setup;
  setup.game_data_missing = true;
  return setup;
}

HostSetup Log_Stem(const char* stem) {
  HostSetup setup;
  setup.log_file_stem = stem;
  return setup;
}

// ================================================================ a whole life, for the allocator

const Settings kLifeSettings = {{"Complex", "3"}, {"CityFlying", "2"}, {"Walls", "1"},
                                {"Tutorial", "2"}, {"M01", "4"},       {"M04", "-1"}};

struct LifeStep {
  bool commands;         // a commands table, else a level-loaded notice
  const char* map_file;  // for a notice
};

const LifeStep kLifeSteps[] = {
    {true, nullptr},
    {false, "C&C_Complex.mix"},
    {false, "C&C_City_Flying.mix"},
    {false, "C&C_Walls.mix"},
    {false, "M00_Tutorial.mix"},
    {false, "M01.mix"},
    {false, "C&C_Field.mix"},
    {false, "C&C_Complex.mix"},
    {true, nullptr},
    {false, "C&C_Complex.mix"},
    {false, "M01.mix"},
    {false, "M00_Tutorial.mix"},
    {false, "M01.mix"},
};

// What the plug-in must print and leave in data, step by step: counts, cursors, files.
class RotationModel {
 public:
  explicit RotationModel(const Settings& settings) {
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      for (const auto& [key, value] : settings) {
        if (key == kExpectedCatalogue[row].key) configured_[row] = std::atoi(value.c_str());
      }
    }
  }

  // A commands table; `loads` tells whether the settings object comes into being.
  std::string Commands(bool loads) {
    loaded_ = loads;
    if (!loads) return "";
    ++loads_;
    Settings settings;
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      if (configured_[row] != 0) settings.emplace_back(kExpectedCatalogue[row].key, std::to_string(configured_[row]));
      if (configured_[row] > 0) data_[row] = Version_Content(kExpectedCatalogue[row].key, 1);
    }
    return Start_Console(settings);
  }

  std::string Notice(const char* map_file) {
    std::size_t row = 0;
    while (row < kExpectedRows && std::string(kExpectedCatalogue[row].map_file_name) != map_file) ++row;
    if (!loaded_ || row == kExpectedRows || configured_[row] < 2) return "";
    cursor_[row] = cursor_[row] >= configured_[row] ? 1 : cursor_[row] + 1;
    data_[row] = Version_Content(kExpectedCatalogue[row].key, cursor_[row]);
    return Rotated(kExpectedCatalogue[row], cursor_[row]);
  }

  void Expect_Data(const ServerFolder& folder) const {
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      const auto found = data_.find(row);
      if (found == data_.end()) {
        EXPECT_FALSE(folder.Exists(Data_File(kExpectedCatalogue[row]))) << kExpectedCatalogue[row].key;
      } else {
        EXPECT_EQ(folder.Read(Data_File(kExpectedCatalogue[row])), found->second) << kExpectedCatalogue[row].key;
      }
    }
  }

  std::size_t Loads() const { return loads_; }

 private:
  int configured_[kExpectedRows] = {};
  int cursor_[kExpectedRows] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  std::map<std::size_t, std::string> data_;
  bool loaded_ = false;
  std::size_t loads_ = 0;
};

// Runs the life; `loads(k)` tells whether the kth commands table gets its settings object.
LifeProfile Live(PluginDriver& driver, ServerFolder& folder, const std::function<bool(std::size_t)>& loads) {
  LifeProfile profile;
  Lay_Out(folder, kLifeSettings);
  const std::string settings_text = folder.Read("Harvane.ini");
  driver.Attach();
  EXPECT_EQ(driver.Take_Console(), "");
  const HostBlockReport attached = driver.Host_Blocks();
  profile.after_attach = attached.allocations;
  EXPECT_TRUE(driver.Check_Version());
  driver.Plugin_Load();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_EQ(driver.Plugin_Info_String(4), "Harvane Plug-In");
  EXPECT_EQ(driver.Plugin_Info_String(36), "1.0");
  EXPECT_EQ(driver.Plugin_Info_String(64), "2.0.2");

  RotationModel model(kLifeSettings);
  std::size_t commands = 0;
  for (std::size_t step = 0; step < sizeof kLifeSteps / sizeof kLifeSteps[0]; ++step) {
    const LifeStep& life_step = kLifeSteps[step];
    SCOPED_TRACE("step " + std::to_string(step + 1) + (life_step.commands ? ": commands table" : ": notice for ") +
                 (life_step.commands ? "" : life_step.map_file));
    if (life_step.commands) {
      profile.before_commands[commands] = driver.Host_Blocks().allocations;
      EXPECT_TRUE(driver.Set_Script_Commands(kSize, kVersion));
      EXPECT_EQ(driver.Take_Console(), model.Commands(loads(commands)));
      profile.after_commands[commands] = driver.Host_Blocks().allocations;
      ++commands;
    } else {
      driver.Level_Loaded(life_step.map_file);
      EXPECT_EQ(driver.Take_Console(), model.Notice(life_step.map_file));
    }
    model.Expect_Data(folder);
  }

  driver.Unload();
  EXPECT_EQ(driver.Take_Console(), "");
  EXPECT_FALSE(folder.Exists(kStagedCopy));
  const std::vector<IniRelease> releases = driver.Ini_Releases();
  EXPECT_EQ(releases.size(), model.Loads()) << "one INI handle per settings object, released once";
  for (const IniRelease& release : releases) EXPECT_TRUE(release.staged_copy_present);
  EXPECT_EQ(folder.Read("Harvane.ini"), settings_text);
  Expect_Version_Files_Intact(folder, {0, 1, 11, 12, 13}, 1);
  Expect_Blocks_Back(driver, attached);
  profile.total = driver.Host_Blocks().allocations;
  return profile;
}

}  // namespace

LifeProfile Live_Reference_Life(PluginDriver& driver, ServerFolder& folder) {
  return Live(driver, folder, [](std::size_t) { return true; });
}

HostSetup Null_Allocation_Setup(std::size_t nth, std::size_t count) {
  HostSetup setup;
  setup.null_allocation_at = nth;
  setup.null_allocation_count = count;
  return setup;
}

void Live_Life_With_Null_Allocations(PluginDriver& driver, ServerFolder& folder, const LifeProfile& reference,
                                     std::size_t nth, std::size_t count) {
  // Up to the first null the life runs as the reference did, so the reference tells which
  // commands table meets a null: with one null, the table whose calls include the nth; with
  // every call from the nth on null, each table that had not finished by then.
  ASSERT_TRUE(count == 0 || count == 1) << "the reference tells where a single null or a lasting one falls";
  const std::size_t last_null = count == 0 ? std::numeric_limits<std::size_t>::max() : nth;
  const LifeProfile faulted = Live(driver, folder, [&](std::size_t table) {
    return last_null <= reference.before_commands[table] || nth > reference.after_commands[table];
  });
  EXPECT_EQ(faulted.after_attach, reference.after_attach) << "the attach made another number of allocations";
}

const DriverScenario kFaultScenarios[] = {
    {"startup staging meets every copy failure", HostSetup{}, Staging_Meets_Every_Copy_Failure},
    {"rotation meets every copy failure", HostSetup{}, Rotation_Meets_Every_Copy_Failure},
    {"data folder missing at start", HostSetup{}, Data_Folder_Missing_At_Start},
    {"data folder removed while running", HostSetup{}, Data_Folder_Removed_While_Running},
    {"read-only data folder", HostSetup{}, Read_Only_Data_Folder},
    {"a folder where the staged settings go", HostSetup{}, Folder_Where_The_Staged_Settings_Go},
    {"log file in a missing folder", Log_Stem(kStemInMissingFolder), Log_In_Missing_Folder},
    {"a folder where the log file goes", HostSetup{}, Folder_Where_The_Log_File_Goes},
    {"INI service yields null", Ini_Null(), Ini_Service_Yields_Null},
    {"no game-data object", No_Game_Data(), Game_Data_Missing},
    {"names that are no map", HostSetup{}, Names_That_Are_No_Map},
    {"host calls out of order", HostSetup{}, Calls_Out_Of_Order},
};
const std::size_t kFaultScenarioCount = sizeof kFaultScenarios / sizeof kFaultScenarios[0];
