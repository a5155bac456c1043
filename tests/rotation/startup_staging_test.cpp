// Version 1 of every configured map put into data before the first map loads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../common/scenario_support.h"
#include "expected_catalogue.h"
#include "expected_console.h"
#include "fresh_process.h"
#include "rotation/level_rotation.h"
#include "rotation/startup_staging.h"
#include "server_folder.h"
#include "settings/version_settings.h"

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

void Load_Settings(const ServerFolder& folder, const Settings& settings) {
  folder.Write_Settings(settings);
  Console_Of(Create_And_Load_Current_Settings);
}

std::vector<std::string> Level_Files_In_Data(const ServerFolder& folder) {
  std::vector<std::string> names;
  for (const std::string& name : Folder_Entries(folder.Path() + "/data")) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ldd") == 0) names.push_back(name);
  }
  return names;
}

// Root writes into a folder whatever its mode says. Giving up the permission override
// for the rest of this (child) process makes a read-only folder read-only for it too.
// False when the folder still takes a new file.
bool Make_Data_Folder_Read_Only(const ServerFolder& folder) {
  const std::string data = folder.Path() + "/data";
  ::chmod(data.c_str(), 0555);
  if (::geteuid() == 0) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (::syscall(SYS_capget, &header, caps) == 0) {
      for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        caps[capability / 32].effective &= ~(1u << (capability % 32));
      }
      ::syscall(SYS_capset, &header, caps);
    }
  }
  const std::string probe = data + "/probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return true;
  ::close(fd);
  ::unlink(probe.c_str());
  return false;
}

TEST(StartupStaging, StagesVersionOneOfEveryPositiveCountInCatalogueOrder) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    // Counts by row: 0 and negative rows are skipped, 1 is staged like any positive count.
    const int counts[kExpectedRows] = {3, 0, 1, -1, 2, 0, 0, 4, 0, 0, 2, 1, 1, -5, 2, 0, 1};
    Settings settings;
    std::string expected_console = kStagingOpening;
    std::vector<std::string> expected_files;
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      const ExpectedRow& expected = kExpectedCatalogue[row];
      settings.emplace_back(expected.key, std::to_string(counts[row]));
      folder.Write_Versions(expected.key, expected.level_file_name, 2);  // present for every row
      if (counts[row] > 0) {
        expected_console += Staged(expected);
        expected_files.push_back(expected.level_file_name);
      }
    }
    std::sort(expected_files.begin(), expected_files.end());
    Load_Settings(folder, settings);

    EXPECT_EQ(Console_Of(Stage_First_Versions), expected_console);

    EXPECT_EQ(Level_Files_In_Data(folder), expected_files);
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      const ExpectedRow& expected = kExpectedCatalogue[row];
      if (counts[row] > 0) {
        EXPECT_EQ(folder.Read(Data_File(expected)), Version_Content(expected.key, 1));
      }
      EXPECT_EQ(Next_Version(row), 1) << "staging leaves the cursors alone";
    }

    // A single version is staged but never rotated.
    substitute_host::Set_Loaded_Map("C&C_Under.mix");
    EXPECT_EQ(Console_Of(Rotate_Loaded_Map), "");
    EXPECT_EQ(folder.Read("data/C&C_Under.ldd"), Version_Content("Under", 1));
  });
}

TEST(StartupStaging, WithAllCountsZeroOnlyTheOpeningLineIsPrinted) {
  for (bool settings_file : {false, true}) {
    SCOPED_TRACE(settings_file ? "every key 0" : "no settings file");
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      Settings settings;
      for (const ExpectedRow& row : kExpectedCatalogue) {
        settings.emplace_back(row.key, "0");
        folder.Write_Versions(row.key, row.level_file_name, 1);
      }
      if (settings_file) {
        Load_Settings(folder, settings);
      } else {
        Console_Of(Create_And_Load_Current_Settings);
      }
      EXPECT_EQ(Console_Of(Stage_First_Versions), kStagingOpening);
      EXPECT_TRUE(Level_Files_In_Data(folder).empty());
    });
  }
}

TEST(StartupStaging, AnExistingLevelFileInDataIsOverwritten) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Versions("Walls", "C&C_Walls.ldd", 2);
    folder.Write("data/C&C_Walls.ldd", "a level file left from an earlier run, longer than version 1\n");
    Load_Settings(folder, {{"Walls", "2"}});

    EXPECT_EQ(Console_Of(Stage_First_Versions), kStagingOpening + "Walls copying...\nWalls copy successful...\n");
    EXPECT_EQ(folder.Read("data/C&C_Walls.ldd"), Version_Content("Walls", 1));
  });
}

struct StagingFailureCase {
  const char* name;
  // Runs after the settings are loaded, before the staging; false: cannot be provoked here.
  std::function<bool(const ServerFolder&)> prepare;
  int complex_code;      // the failure of row 1 (Complex)
  int city_flying_code;  // the failure of row 2 (City Flying); 0: it is staged
};

const StagingFailureCase kStagingFailureCases[] = {
    {"version folder of row 1 missing",
     [](const ServerFolder& folder) {
       folder.Remove("Complex1/C&C_Complex.ldd");
       return ::rmdir((folder.Path() + "/Complex1").c_str()) == 0;
     },
     3, 0},
    {"level file of row 1 missing from its folder",
     [](const ServerFolder& folder) {
       folder.Remove("Complex1/C&C_Complex.ldd");
       return !folder.Exists("Complex1/C&C_Complex.ldd");
     },
     2, 0},
    {"a folder where row 1's level file should be in data",
     [](const ServerFolder& folder) { return ::mkdir((folder.Path() + "/data/C&C_Complex.ldd").c_str(), 0755) == 0; },
     5, 0},
    {"data folder missing",
     [](const ServerFolder& folder) {
       folder.Remove("data/TEMPHarvane.ini");
       return ::rmdir((folder.Path() + "/data").c_str()) == 0;
     },
     3, 3},
    {"data folder read-only", Make_Data_Folder_Read_Only, 5, 5},
};

TEST(StartupStaging, AFailedCopyIsReportedAndTheStagingGoesOn) {
  for (const StagingFailureCase& failure : kStagingFailureCases) {
    SCOPED_TRACE(failure.name);
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
      folder.Write_Versions("CityFlying", "C&C_City_Flying.ldd", 2);
      Load_Settings(folder, {{"Complex", "3"}, {"CityFlying", "2"}});
      if (!failure.prepare(folder)) {
        GTEST_SKIP() << "this process can write into a read-only folder (root without a way to give that up)";
      }

      const std::string console = Console_Of(Stage_First_Versions);

      const std::string city_flying_part =
          failure.city_flying_code == 0 ? Staged(kExpectedCatalogue[1])
                                        : "City Flying copying...\n" + Failed_Copy(failure.city_flying_code);
      EXPECT_EQ(console, kStagingOpening + "Complex copying...\n" + Failed_Copy(failure.complex_code) +
                             city_flying_part);
      if (failure.city_flying_code == 0) {
        EXPECT_EQ(folder.Read("data/C&C_City_Flying.ldd"), Version_Content("CityFlying", 1));
      }
    });
  }
}

}  // namespace
