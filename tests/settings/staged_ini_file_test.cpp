// The settings file staged into data, opened and released through the host's INI service,
// and the settings object's blocks on the host's allocator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/scenario_support.h"
#include "fresh_process.h"
#include "rotation/level_rotation.h"
#include "rotation/startup_staging.h"
#include "server_folder.h"
#include "settings/version_settings.h"

namespace {

const char kStagedCopy[] = "data/TEMPHarvane.ini";

std::vector<std::string> Ini_Event_Names() {
  std::vector<std::string> names;
  for (const substitute_host::IniEvent& event : substitute_host::Ini_Events()) names.push_back(event.what);
  return names;
}

TEST(StagedIniFile, NamesTheFileAndItsStagedCopyAndOpensTheCopyByItsBareName) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Settings({{"Complex", "3"}});
    Console_Of(Create_And_Load_Current_Settings);
    ASSERT_NE(Current_Settings(), nullptr);
    EXPECT_STREQ(Current_Settings()->File_Name(), "Harvane.ini");
    EXPECT_STREQ(Current_Settings()->Staged_Name(), "TEMPHarvane.ini");
    EXPECT_EQ(Ini_Event_Names(), std::vector<std::string>{"open TEMPHarvane.ini"});
    EXPECT_NE(Current_Settings()->Ini_Handle(), nullptr);
    EXPECT_EQ(folder.Read(kStagedCopy), folder.Read("Harvane.ini"));
    EXPECT_EQ(Current_Settings()->Count(0), 3);
    Destroy_Current_Settings();
  });
}

TEST(StagedIniFile, AStaleStagedCopyIsReplacedOrRemoved) {
  for (bool settings_file : {true, false}) {
    SCOPED_TRACE(settings_file ? "with Harvane.ini" : "without Harvane.ini");
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      folder.Write(kStagedCopy, "[General]\nComplex=9\nM04=7\n");  // left by an earlier run
      if (settings_file) folder.Write_Settings({{"Complex", "2"}});

      Console_Of(Create_And_Load_Current_Settings);

      ASSERT_NE(Current_Settings(), nullptr);
      if (settings_file) {
        EXPECT_EQ(folder.Read(kStagedCopy), "[General]\nComplex=2\n");
        EXPECT_EQ(Current_Settings()->Count(0), 2);
      } else {
        EXPECT_FALSE(folder.Exists(kStagedCopy)) << "the stale copy must not be read as the settings";
        EXPECT_EQ(Current_Settings()->Count(0), 0);
      }
      EXPECT_EQ(Current_Settings()->Count(16), 0);
      Destroy_Current_Settings();
    });
  }
}

TEST(StagedIniFile, WithoutTheSettingsFileAllCountsAreZeroAndNothingIsStaged) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    const std::string console = Console_Of(Create_And_Load_Current_Settings);
    EXPECT_EQ(console, "");
    ASSERT_NE(Current_Settings(), nullptr);
    for (std::size_t row = 0; row < kMapCount; ++row) EXPECT_EQ(Current_Settings()->Count(row), 0);
    EXPECT_FALSE(folder.Exists(kStagedCopy));
    EXPECT_EQ(Console_Of(Destroy_Current_Settings), "");
  });
}

TEST(StagedIniFile, TeardownReleasesTheHandleBeforeDeletingTheStagedCopyOnly) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Settings({{"Complex", "3"}});
    folder.Write("TEMPHarvane.ini", "not ours\n");  // beside the settings file, not in data
    Console_Of(Create_And_Load_Current_Settings);
    ASSERT_TRUE(folder.Exists(kStagedCopy));

    Destroy_Current_Settings();

    const std::vector<substitute_host::IniEvent> events = substitute_host::Ini_Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].what, "open TEMPHarvane.ini");
    EXPECT_TRUE(events[0].staged_copy_present);
    EXPECT_EQ(events[1].what, "release");
    EXPECT_TRUE(events[1].staged_copy_present) << "the host must let go of the copy before it is deleted";
    EXPECT_EQ(substitute_host::Open_Ini_Handles(), 0u);
    EXPECT_FALSE(folder.Exists(kStagedCopy));
    EXPECT_EQ(folder.Read("TEMPHarvane.ini"), "not ours\n");
    EXPECT_EQ(folder.Read("Harvane.ini"), "[General]\nComplex=3\n");
    EXPECT_EQ(Current_Settings(), nullptr);
  });
}

TEST(StagedIniFile, StagingAgainReleasesTheFirstHandleBeforeOpening) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Settings({{"Complex", "3"}});
    Console_Of(Create_And_Load_Current_Settings);
    ASSERT_NE(Current_Settings(), nullptr);
    folder.Write_Settings({{"Complex", "5"}});

    Current_Settings()->Stage_And_Open();

    EXPECT_EQ(Ini_Event_Names(), (std::vector<std::string>{"open TEMPHarvane.ini", "release", "open TEMPHarvane.ini"}));
    EXPECT_EQ(substitute_host::Open_Ini_Handles(), 1u);
    EXPECT_EQ(folder.Read(kStagedCopy), "[General]\nComplex=5\n");
    Destroy_Current_Settings();
    EXPECT_EQ(substitute_host::Open_Ini_Handles(), 0u);
  });
}

TEST(StagedIniFile, TheObjectAndBothNamesComeFromAndReturnToTheHostAllocator) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Settings({{"Complex", "3"}});
    const substitute_host::AllocatorReport before = substitute_host::Allocator_Report();
    const std::size_t first = substitute_host::Requested_Sizes().size();

    Console_Of(Create_And_Load_Current_Settings);

    const substitute_host::AllocatorReport loaded = substitute_host::Allocator_Report();
    const std::vector<std::size_t>& sizes = substitute_host::Requested_Sizes();
    EXPECT_EQ(loaded.live_blocks, before.live_blocks + 3);
    ASSERT_EQ(sizes.size(), first + 3);
    EXPECT_EQ(sizes[first], sizeof(VersionSettings));
    EXPECT_EQ(sizes[first + 1], sizeof "Harvane.ini");
    EXPECT_EQ(sizes[first + 2], sizeof "TEMPHarvane.ini");

    Destroy_Current_Settings();

    const substitute_host::AllocatorReport after = substitute_host::Allocator_Report();
    EXPECT_EQ(after.live_blocks, before.live_blocks);
    EXPECT_EQ(after.releases, before.releases + 3);
    EXPECT_EQ(after.foreign_releases, 0u);
    EXPECT_EQ(after.null_releases, before.null_releases);
  });
}

TEST(StagedIniFile, ANullHandleFromTheHostReadsAsAnEmptyFile) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    folder.Write_Settings({{"Complex", "3"}, {"M01", "2"}});
    substitute_host::Set_Ini_Yields_Null(true);

    const std::string console = Console_Of(Create_And_Load_Current_Settings);

    EXPECT_EQ(console, "");
    ASSERT_NE(Current_Settings(), nullptr);
    EXPECT_EQ(Current_Settings()->Ini_Handle(), nullptr);
    for (std::size_t row = 0; row < kMapCount; ++row) EXPECT_EQ(Current_Settings()->Count(row), 0);
    Destroy_Current_Settings();
    EXPECT_EQ(Ini_Event_Names(), std::vector<std::string>{"open TEMPHarvane.ini"}) << "a null handle is not released";
  });
}

struct NoBlockCase {
  const char* name;
  std::size_t nth_allocation;  // of the creation, 1-based
};

const NoBlockCase kNoBlockCases[] = {
    {"the object", 1},
    {"the settings file name", 2},
    {"the staged name", 3},
};

TEST(StagedIniFile, WhenTheHostYieldsNoBlockNoSettingsObjectIsLeft) {
  for (const NoBlockCase& no_block : kNoBlockCases) {
    SCOPED_TRACE(no_block.name);
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      folder.Write_Versions("Complex", "C&C_Complex.ldd", 2);
      folder.Write_Settings({{"Complex", "2"}});
      const substitute_host::AllocatorReport before = substitute_host::Allocator_Report();
      substitute_host::Yield_Null_From(before.allocations + no_block.nth_allocation);

      const std::string console = Console_Of(Create_And_Load_Current_Settings);

      EXPECT_EQ(console, "");
      EXPECT_EQ(Current_Settings(), nullptr);
      const substitute_host::AllocatorReport after = substitute_host::Allocator_Report();
      EXPECT_EQ(after.null_results, before.null_results + 1);
      EXPECT_EQ(after.live_blocks, before.live_blocks) << "whatever was obtained went back";
      EXPECT_EQ(after.foreign_releases, 0u);
      EXPECT_TRUE(substitute_host::Ini_Events().empty());
      EXPECT_FALSE(folder.Exists(kStagedCopy));

      // The readers of the counts find no object and do nothing.
      substitute_host::Set_Loaded_Map("C&C_Complex.mix");
      EXPECT_EQ(Console_Of(Rotate_Loaded_Map), "");
      EXPECT_EQ(Next_Version(0), 1);
      EXPECT_EQ(Console_Of(Destroy_Current_Settings), "");
    });
  }
}

}  // namespace
