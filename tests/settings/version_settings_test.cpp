// The seventeen counts read from [General], their console report and the change notice.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../common/scenario_support.h"
#include "../gamelog/host_settings_record.h"
#include "expected_console.h"
#include "expected_game_log.h"
#include "fresh_process.h"
#include "server_folder.h"
#include "settings/version_settings.h"

namespace {

std::string Todays_Log(const ServerFolder& folder) { return folder.Read(Today_Log_File("gamelog")); }

std::size_t Lines_Holding(const std::string& text, const std::string& part) {
  std::size_t lines = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++lines;
  return lines;
}

struct LoadCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> general;
  std::map<std::size_t, std::int32_t> counts;  // rows not named hold 0
  std::string console;                          // with the host echoing "_GENERAL" lines
};

const LoadCase kLoadCases[] = {
    {"no keys", {}, {}, ""},
    {"a key at 0 gives neither line nor notice", {{"Complex", "0"}}, {}, ""},
    {"a key at -1 gives the notice but no line", {{"Complex", "-1"}}, {{0, -1}}, kNoticeLine},
    {"the notice comes once, before the first line",
     {{"Complex", "3"}, {"M01", "2"}},
     {{0, 3}, {13, 2}},
     kNoticeLine + Count_Line("C&C_Complex.mix", 3) + Count_Line("M01.mix", 2)},
    {"a negative key first still gives a single notice",
     {{"Under", "-4"}, {"Walls", "2"}, {"Volcano", "7"}},
     {{2, -4}, {4, 7}, {11, 2}},
     kNoticeLine + Count_Line("C&C_Volcano.mix", 7) + Count_Line("C&C_Walls.mix", 2)},
    {"each key fills its own row",
     {{"M01", "2"}, {"M02", "4"}},
     {{13, 2}, {14, 4}},
     kNoticeLine + Count_Line("M01.mix", 2) + Count_Line("M02.mix", 4)},
    {"Tutorial is reported under its map file",
     {{"Tutorial", "2"}},
     {{12, 2}},
     kNoticeLine + Count_Line("M00_Tutorial.mix", 2)},
    {"the two flying maps keep their own keys",
     {{"CityFlying", "2"}, {"WallsFlying", "3"}, {"City Flying", "9"}},
     {{1, 2}, {3, 3}},
     kNoticeLine + Count_Line("C&C_City_Flying.mix", 2) + Count_Line("C&C_Walls_Flying.mix", 3)},
};

TEST(VersionSettings, LoadReportsPositiveCountsAndGivesTheNoticeOnce) {
  for (const LoadCase& load : kLoadCases) {
    SCOPED_TRACE(load.name);
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      HostSettingsRecord host_settings(true, true, "gamelog");
      Keep_Host_Settings(host_settings.Address());
      folder.Write_Settings(load.general);

      const std::string console = Console_Of(Create_And_Load_Current_Settings);

      EXPECT_EQ(console, load.console);
      ASSERT_NE(Current_Settings(), nullptr);
      for (std::size_t row = 0; row < kMapCount; ++row) {
        const auto named = load.counts.find(row);
        EXPECT_EQ(Current_Settings()->Count(row), named == load.counts.end() ? 0 : named->second) << "row " << row + 1;
      }
      const std::string log = Todays_Log(folder);
      EXPECT_EQ(Lines_Holding(log, "_GENERAL " + kNoticeText + "\n"), load.console.empty() ? 0u : 1u)
          << "log:\n" << log;
      Destroy_Current_Settings();
    });
  }
}

TEST(VersionSettings, TheHostsSwitchesDecideWhereTheNoticeGoes) {
  struct SwitchCase {
    bool write_all_headers, echo;
    bool in_log, on_console;
  };
  const SwitchCase cases[] = {
      {false, true, false, false},
      {true, false, true, false},
      {true, true, true, true},
  };
  for (const SwitchCase& switches : cases) {
    SCOPED_TRACE(std::string("write all ") + (switches.write_all_headers ? "on" : "off") + ", echo " +
                 (switches.echo ? "on" : "off"));
    In_Fresh_Process([&] {
      Attach_To_Host();
      ServerFolder folder;
      HostSettingsRecord host_settings(switches.write_all_headers, switches.echo, "gamelog");
      Keep_Host_Settings(host_settings.Address());
      folder.Write_Settings({{"Mesa", "2"}});

      const std::string console = Console_Of(Create_And_Load_Current_Settings);

      EXPECT_EQ(console, (switches.on_console ? kNoticeLine : "") + Count_Line("C&C_Mesa.mix", 2));
      EXPECT_EQ(Lines_Holding(Todays_Log(folder), kNoticeText), switches.in_log ? 1u : 0u);
      Destroy_Current_Settings();
    });
  }
}

TEST(VersionSettings, ANewObjectStartsFromZeroAndGivesTheNoticeAgain) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    HostSettingsRecord host_settings(true, true, "gamelog");
    Keep_Host_Settings(host_settings.Address());
    folder.Write_Settings({{"Field", "2"}});
    EXPECT_EQ(Console_Of(Create_And_Load_Current_Settings), kNoticeLine + Count_Line("C&C_Field.mix", 2));
    EXPECT_EQ(Console_Of(Create_And_Load_Current_Settings), kNoticeLine + Count_Line("C&C_Field.mix", 2));
    EXPECT_EQ(Lines_Holding(Todays_Log(folder), kNoticeText), 2u);
    Destroy_Current_Settings();
  });
}

TEST(VersionSettings, EachLoadOfTheSameObjectCanGiveTheNoticeOnceForWhatChanged) {
  In_Fresh_Process([] {
    Attach_To_Host();
    ServerFolder folder;
    HostSettingsRecord host_settings(true, true, "gamelog");
    Keep_Host_Settings(host_settings.Address());
    folder.Write_Settings({{"Field", "2"}});
    EXPECT_EQ(Console_Of(Create_And_Load_Current_Settings), kNoticeLine + Count_Line("C&C_Field.mix", 2));
    VersionSettings* settings = Current_Settings();
    ASSERT_NE(settings, nullptr);

    folder.Write_Settings({{"Field", "2"}, {"M03", "3"}, {"M04", "4"}});
    EXPECT_EQ(Console_Of([&] { settings->Load_Settings(); }),
              Count_Line("C&C_Field.mix", 2) + kNoticeLine + Count_Line("M03.mix", 3) + Count_Line("M04.mix", 4))
        << "the notice comes with the first key that changed";

    EXPECT_EQ(Console_Of([&] { settings->Load_Settings(); }),
              Count_Line("C&C_Field.mix", 2) + Count_Line("M03.mix", 3) + Count_Line("M04.mix", 4))
        << "nothing changed: no notice";
    EXPECT_EQ(Lines_Holding(Todays_Log(folder), kNoticeText), 2u);
    Destroy_Current_Settings();
  });
}

}  // namespace
