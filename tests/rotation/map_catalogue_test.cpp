// The catalogue's rows, its lookup by map file name and the version paths it forms.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../common/scenario_support.h"
#include "expected_catalogue.h"
#include "expected_console.h"
#include "fresh_process.h"
#include "rotation/map_catalogue.h"
#include "server_folder.h"
#include "settings/version_settings.h"

namespace {

std::string Source_Path_For(std::size_t row, int version) {
  char path[kSourcePathBufferSize];
  std::memset(path, '#', sizeof path);
  Format_Version_Source_Path(MapCatalogue[row], version, path);
  return std::string(path, strnlen(path, sizeof path));
}

TEST(MapCatalogue, EveryRowHoldsItsNamesAndFormsItsPaths) {
  ASSERT_EQ(kMapCount, kExpectedRows);
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    const ExpectedRow& expected = kExpectedCatalogue[row];
    SCOPED_TRACE(std::string("row ") + std::to_string(row + 1) + " " + expected.key);
    const MapEntry& entry = MapCatalogue[row];
    EXPECT_STREQ(entry.key, expected.key);
    EXPECT_STREQ(entry.display_name, expected.display_name);
    EXPECT_STREQ(entry.map_file_name, expected.map_file_name);
    EXPECT_STREQ(entry.level_file_name, expected.level_file_name);
    EXPECT_EQ(Source_Path_For(row, 1), expected.first_source_path);
    EXPECT_EQ(Data_Destination_Path(entry), expected.destination_path);
    EXPECT_EQ(Find_Map_Row(expected.map_file_name), static_cast<int>(row));
  }
}

TEST(MapCatalogue, EveryKeyReportsItsOwnCountUnderItsMapFileName) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    // Distinct values, so a key landing in another row's count shows.
    std::vector<std::pair<std::string, std::string>> general;
    std::string expected_console;
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      const int count = static_cast<int>(row) + 2;
      general.emplace_back(kExpectedCatalogue[row].key, std::to_string(count));
      expected_console += Count_Line(kExpectedCatalogue[row], count);
    }
    folder.Write_Settings(general);

    const std::string console = Console_Of(Create_And_Load_Current_Settings);

    EXPECT_EQ(console, expected_console);
    ASSERT_NE(Current_Settings(), nullptr);
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      EXPECT_EQ(Current_Settings()->Count(row), static_cast<std::int32_t>(row) + 2) << kExpectedCatalogue[row].key;
    }
    Destroy_Current_Settings();
  });
}

struct LookupCase {
  const char* loaded_name;
  int expected_row;  // 0-based; -1: no row
};

const LookupCase kLookupCases[] = {
    {"C&C_City.mix", 10},
    {"C&C_City_Flying.mix", 1},
    {"C&C_Walls.mix", 11},
    {"C&C_Walls_Flying.mix", 3},
    {"M00_Tutorial.mix", 12},
    {"M01.mix", 13},
    {"c&c_complex.mix", -1},       // case counts
    {"C&C_COMPLEX.MIX", -1},
    {"m01.mix", -1},
    {"C&C_Complex", -1},           // without its extension
    {"C&C_Complex.mix ", -1},      // whole name: nothing may follow
    {"C&C_Complex.mix.bak", -1},
    {"C&C_City_", -1},
    {"C&C_Glacier_Flying.mix", -1},
    {"Tutorial", -1},              // a key is not a map file name
    {"", -1},
};

TEST(MapCatalogue, LookupComparesTheWholeNameCaseSensitively) {
  for (const LookupCase& lookup : kLookupCases) {
    EXPECT_EQ(Find_Map_Row(lookup.loaded_name), lookup.expected_row) << '"' << lookup.loaded_name << '"';
  }
  EXPECT_EQ(Find_Map_Row(nullptr), -1);
}

TEST(MapCatalogue, VersionNumberFollowsTheKeyDirectly) {
  constexpr std::size_t kM01 = 13;
  constexpr std::size_t kWallsFlying = 3;
  EXPECT_EQ(Source_Path_For(kM01, 1), "M011\\m01.ldd");
  EXPECT_EQ(Source_Path_For(kM01, 11), "M0111\\m01.ldd");
  EXPECT_EQ(Source_Path_For(0, 10), "Complex10\\C&C_Complex.ldd");

  // The longest path the rotation can form: ten digits after the longest key.
  const std::string longest = Source_Path_For(kWallsFlying, INT32_MAX);
  EXPECT_EQ(longest, "WallsFlying2147483647\\C&C_Walls_Flying.ldd");
  EXPECT_LT(longest.size() + 1, kSourcePathBufferSize);
}

}  // namespace
