// The level-loaded notice: which version of the loaded map's level file goes into data,
// what the console shows, and what happens when there is nothing to rotate.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../common/scenario_support.h"
#include "expected_catalogue.h"
#include "expected_console.h"
#include "fresh_process.h"
#include "rotation/level_rotation.h"
#include "server_folder.h"
#include "settings/version_settings.h"

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

constexpr std::size_t kComplex = 0;
constexpr std::size_t kCityFlying = 1;
constexpr std::size_t kWallsFlying = 3;
constexpr std::size_t kCity = 10;
constexpr std::size_t kWalls = 11;

const ExpectedRow& Row(std::size_t row) { return kExpectedCatalogue[row]; }

// Harvane.ini with `settings`, then the settings object the plug-in creates from it.
void Load_Settings(const ServerFolder& folder, const Settings& settings) {
  folder.Write_Settings(settings);
  Console_Of(Create_And_Load_Current_Settings);
}

// One level-loaded notice for `map_file_name`; what the console showed.
std::string Notice_For(const char* map_file_name) {
  substitute_host::Set_Loaded_Map(map_file_name);
  return Console_Of(Rotate_Loaded_Map);
}

void Expect_All_Cursors_At_One() {
  for (std::size_t row = 0; row < kExpectedRows; ++row) EXPECT_EQ(Next_Version(row), 1) << Row(row).key;
}

TEST(AdvancedVersion, MovesOnAndWrapsPastTheCountWithoutOverflow) {
  struct Case {
    std::int32_t cursor, count, expected;
  };
  const Case cases[] = {
      {1, 2, 2},
      {2, 2, 1},
      {1, 3, 2},
      {2, 3, 3},
      {3, 3, 1},
      {4, 2, 1},  // the count became smaller since the last notice
      {100, 3, 1},
      {1, INT32_MAX, 2},
      {INT32_MAX - 1, INT32_MAX, INT32_MAX},
      {INT32_MAX, INT32_MAX, 1},
      {INT32_MAX, 2, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Advanced_Version(c.cursor, c.count), c.expected) << "cursor " << c.cursor << ", count " << c.count;
  }
}

struct SequenceCase {
  const char* count;
  std::vector<int> versions;  // copied on successive notices
};

const SequenceCase kSequenceCases[] = {
    {"2", {2, 1, 2, 1, 2}},
    {"3", {2, 3, 1, 2, 3, 1, 2}},
    {"5", {2, 3, 4, 5, 1, 2}},
    {"2147483647", {2, 3, 4}},
};

TEST(LevelRotation, SuccessiveNoticesCopyTheVersionsInTurn) {
  for (const SequenceCase& sequence : kSequenceCases) {
    SCOPED_TRACE(std::string("count ") + sequence.count);
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      folder.Write_Versions("Complex", "C&C_Complex.ldd", 5);
      Load_Settings(folder, {{"Complex", sequence.count}});
      for (int version : sequence.versions) {
        SCOPED_TRACE("version " + std::to_string(version));
        EXPECT_EQ(Notice_For("C&C_Complex.mix"), Rotated(Row(kComplex), version));
        EXPECT_EQ(folder.Read(Data_File(Row(kComplex))), Version_Content("Complex", version));
        EXPECT_EQ(Next_Version(kComplex), version);
      }
    });
  }
}

TEST(LevelRotation, EveryRowRotatesWithItsOwnNamesAndFolders) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    Settings settings;
    for (const ExpectedRow& row : kExpectedCatalogue) {
      settings.emplace_back(row.key, "3");
      folder.Write_Versions(row.key, row.level_file_name, 3);
    }
    Load_Settings(folder, settings);
    for (int version : {2, 3, 1}) {
      for (std::size_t row = 0; row < kExpectedRows; ++row) {
        SCOPED_TRACE(std::string(Row(row).key) + " version " + std::to_string(version));
        EXPECT_EQ(Notice_For(Row(row).map_file_name), Rotated(Row(row), version));
        EXPECT_EQ(folder.Read(Data_File(Row(row))), Version_Content(Row(row).key, version));
        EXPECT_EQ(Next_Version(row), version);
      }
    }
  });
}

TEST(LevelRotation, CountsBelowTwoCopyNothingAndLeaveTheCursor) {
  for (const char* count : {"1", "0", "-1", "-2147483648", "not a number"}) {
    SCOPED_TRACE(std::string("count ") + count);
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
      Load_Settings(folder, {{"Complex", count}});
      for (int notice = 0; notice < 4; ++notice) EXPECT_EQ(Notice_For("C&C_Complex.mix"), "");
      EXPECT_FALSE(folder.Exists(Data_File(Row(kComplex))));
      Expect_All_Cursors_At_One();
    });
  }
}

TEST(LevelRotation, ACursorBeyondASmallerNewCountStartsAgainAtOne) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Versions("Complex", "C&C_Complex.ldd", 5);
    Load_Settings(folder, {{"Complex", "5"}});
    for (int notice = 0; notice < 3; ++notice) Notice_For("C&C_Complex.mix");
    ASSERT_EQ(Next_Version(kComplex), 4);

    // The settings are read again, with fewer versions; the cursor is not reset.
    Load_Settings(folder, {{"Complex", "2"}});
    EXPECT_EQ(Next_Version(kComplex), 4);
    EXPECT_EQ(Notice_For("C&C_Complex.mix"), Rotated(Row(kComplex), 1));
    EXPECT_EQ(folder.Read(Data_File(Row(kComplex))), Version_Content("Complex", 1));
    EXPECT_EQ(Notice_For("C&C_Complex.mix"), Rotated(Row(kComplex), 2));
  });
}

TEST(LevelRotation, TwoMapsLoadedAlternatelyKeepTheirOwnCursors) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
    folder.Write_Versions("Walls", "C&C_Walls.ldd", 2);
    folder.Write_Versions("WallsFlying", "C&C_Walls_Flying.ldd", 2);
    Load_Settings(folder, {{"Complex", "3"}, {"Walls", "2"}, {"WallsFlying", "2"}});
    const std::pair<std::size_t, int> steps[] = {
        {kComplex, 2}, {kWalls, 2}, {kComplex, 3}, {kWalls, 1}, {kComplex, 1}, {kWalls, 2}, {kComplex, 2},
    };
    for (const auto& [row, version] : steps) {
      SCOPED_TRACE(std::string(Row(row).key) + " version " + std::to_string(version));
      EXPECT_EQ(Notice_For(Row(row).map_file_name), Rotated(Row(row), version));
      EXPECT_EQ(folder.Read(Data_File(Row(row))), Version_Content(Row(row).key, version));
    }
    EXPECT_EQ(Next_Version(kComplex), 2);
    EXPECT_EQ(Next_Version(kWalls), 2);
    EXPECT_EQ(Next_Version(kWallsFlying), 1) << "a configured map that was never loaded";
    EXPECT_FALSE(folder.Exists(Data_File(Row(kWallsFlying))));
  });
}

struct MatchCase {
  const char* loaded_name;
  int expected_row;  // -1: no row rotates
};

const MatchCase kMatchCases[] = {
    {"C&C_City.mix", kCity},
    {"C&C_City_Flying.mix", kCityFlying},
    {"C&C_Walls.mix", kWalls},
    {"C&C_Walls_Flying.mix", kWallsFlying},
    {"c&c_city.mix", -1},
    {"C&C_WALLS.mix", -1},
    {"C&C_City", -1},
    {"C&C_Walls.mix ", -1},
    {"C&C_Islands.mix", -1},  // in the catalogue, but without versions
    {"C&C_Glacier_Flying.mix", -1},
    {"", -1},
};

TEST(LevelRotation, OnlyTheMapNamedWholeAndInItsOwnCaseRotates) {
  for (const MatchCase& match : kMatchCases) {
    SCOPED_TRACE(std::string("loaded \"") + match.loaded_name + "\"");
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      Settings settings;
      for (std::size_t row : {kCity, kCityFlying, kWalls, kWallsFlying}) {
        settings.emplace_back(Row(row).key, "3");
        folder.Write_Versions(Row(row).key, Row(row).level_file_name, 3);
      }
      Load_Settings(folder, settings);

      const std::string console = Notice_For(match.loaded_name);

      if (match.expected_row < 0) {
        EXPECT_EQ(console, "");
      } else {
        const ExpectedRow& row = Row(static_cast<std::size_t>(match.expected_row));
        EXPECT_EQ(console, Rotated(row, 2));
        EXPECT_EQ(folder.Read(Data_File(row)), Version_Content(row.key, 2));
      }
      for (std::size_t row = 0; row < kExpectedRows; ++row) {
        EXPECT_EQ(Next_Version(row), static_cast<int>(row) == match.expected_row ? 2 : 1) << Row(row).key;
        if (static_cast<int>(row) != match.expected_row) {
          EXPECT_FALSE(folder.Exists(Data_File(Row(row))));
        }
      }
    });
  }
}

struct FailedCopyCase {
  const char* name;
  std::function<void(const ServerFolder&)> prepare;  // after the settings are loaded
  int code;  // the Windows error code reported
};

const FailedCopyCase kFailedCopyCases[] = {
    {"version folder missing", [](const ServerFolder&) {}, 3},
    {"level file missing from its folder", [](const ServerFolder& folder) { folder.Write("Complex2/other.ldd", "x"); },
     2},
    {"data folder missing", [](const ServerFolder& folder) { ::rmdir((folder.Path() + "/data").c_str()); }, 3},
    {"a folder where the level file should be in data",
     [](const ServerFolder& folder) {
       folder.Write("Complex2/C&C_Complex.ldd", Version_Content("Complex", 2));
       ::mkdir((folder.Path() + "/data/C&C_Complex.ldd").c_str(), 0755);
     },
     5},
};

TEST(LevelRotation, AFailedCopyIsReportedAndTheNextNoticeMovesOn) {
  for (const FailedCopyCase& failure : kFailedCopyCases) {
    SCOPED_TRACE(failure.name);
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      folder.Write("Complex1/C&C_Complex.ldd", Version_Content("Complex", 1));
      folder.Write("Complex3/C&C_Complex.ldd", Version_Content("Complex", 3));
      Load_Settings(folder, {{"Complex", "3"}});
      folder.Remove("data/TEMPHarvane.ini");  // so that data can be taken away
      failure.prepare(folder);

      EXPECT_EQ(Notice_For("C&C_Complex.mix"), Rotation_Failed(Row(kComplex), failure.code));
      EXPECT_EQ(Next_Version(kComplex), 2) << "the cursor moved on before the copy";

      ::rmdir((folder.Path() + "/data/C&C_Complex.ldd").c_str());
      ::mkdir((folder.Path() + "/data").c_str(), 0755);
      EXPECT_EQ(Notice_For("C&C_Complex.mix"), Rotated(Row(kComplex), 3));
      EXPECT_EQ(folder.Read(Data_File(Row(kComplex))), Version_Content("Complex", 3));
      EXPECT_EQ(Notice_For("C&C_Complex.mix"), Rotated(Row(kComplex), 1));
    });
  }
}

TEST(LevelRotation, WithoutASettingsObjectANoticeDoesNothing) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
    folder.Write_Settings({{"Complex", "3"}});  // never read: no settings object exists
    for (int notice = 0; notice < 3; ++notice) EXPECT_EQ(Notice_For("C&C_Complex.mix"), "");
    EXPECT_FALSE(folder.Exists(Data_File(Row(kComplex))));
    Expect_All_Cursors_At_One();
  });
}

struct NoMapCase {
  const char* name;
  std::int32_t build;
  std::function<void()> host_state;
};

const NoMapCase kNoMapCases[] = {
    {"the host has no game data", 0, [] {
       substitute_host::Set_Loaded_Map("C&C_Complex.mix");
       substitute_host::Set_Game_Data_Missing(true);
     }},
    {"the game data names no map", 0, [] { substitute_host::Set_Loaded_Map(nullptr); }},
    {"build 4 has no game-data routine", 4, [] { substitute_host::Set_Loaded_Map("C&C_Complex.mix"); }},
};

TEST(LevelRotation, WhenTheHostNamesNoMapNothingHappens) {
  for (const NoMapCase& no_map : kNoMapCases) {
    SCOPED_TRACE(no_map.name);
    In_Fresh_Process([&] {
      Attach_To_Host(no_map.build);
      ServerFolder folder;
      folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
      Load_Settings(folder, {{"Complex", "3"}});
      ASSERT_NE(Current_Settings(), nullptr);
      no_map.host_state();

      EXPECT_EQ(Console_Of(Rotate_Loaded_Map), "");
      EXPECT_EQ(Console_Of(Rotate_Loaded_Map), "");

      EXPECT_FALSE(folder.Exists(Data_File(Row(kComplex))));
      Expect_All_Cursors_At_One();
      if (no_map.build == 4) {
        EXPECT_EQ(substitute_host::Game_Data_Calls(), 0u);
      }
    });
  }
}

}  // namespace
