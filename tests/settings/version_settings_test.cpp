// The seventeen counts read from [General], their console report and the change notice.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../common/scenario_support.h"
#include "../gamelog/host_settings_record.h"
#include "fresh_process.h"
#include "server_folder.h"
#include "settings/version_settings.h"

namespace {

const char kNotice[] = "New settings detected and loaded from Harvane.ini!";

std::string Report(const char* map_file_name, int count) {
  return std::string("Number of modded versions for ") + map_file_name + " equals " + std::to_string(count) + "\n";
}

std::string Todays_Log(const ServerFolder& folder) {
  const std::time_t now = std::time(nullptr);
  const std::tm local = *std::localtime(&now);
  return folder.Read("gamelog_" + std::to_string(local.tm_mon + 1) + "-" + std::to_string(local.tm_mday) + "-" +
                     std::to_string(local.tm_year + 1900) + ".txt");
}

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

const std::string kNoticeLine = std::string(kNotice) + "\n";

const LoadCase kLoadCases[] = {
    {"no keys", {}, {}, ""},
    {"a key at 0 gives neither line nor notice", {{"Complex", "0"}}, {}, ""},
    {"a key at -1 gives the notice but no line", {{"Complex", "-1"}}, {{0, -1}}, kNoticeLine},
    {"the notice comes once, before the first line",
     {{"Complex", "3"}, {"M01", "2"}},
     {{0, 3}, {13, 2}},
     kNoticeLine + Report("C&C_Complex.mix", 3) + Report("M01.mix", 2)},
    {"a negative key first still gives a single notice",
     {{"Under", "-4"}, {"Walls", "2"}, {"Volcano", "7"}},
     {{2, -4}, {4, 7}, {11, 2}},
     kNoticeLine + Report("C&C_Volcano.mix", 7) + Report("C&C_Walls.mix", 2)},
    {"each key fills its own row",
     {{"M01", "2"}, {"M02", "4"}},
     {{13, 2}, {14, 4}},
     kNoticeLine + Report("M01.mix", 2) + Report("M02.mix", 4)},
    {"Tutorial is reported under its map file",
     {{"Tutorial", "2"}},
     {{12, 2}},
     kNoticeLine + Report("M00_Tutorial.mix", 2)},
    {"the two flying maps keep their own keys",
     {{"CityFlying", "2"}, {"WallsFlying", "3"}, {"City Flying", "9"}},
     {{1, 2}, {3, 3}},
     kNoticeLine + Report("C&C_City_Flying.mix", 2) + Report("C&C_Walls_Flying.mix", 3)},
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
      EXPECT_EQ(Lines_Holding(log, std::string("_GENERAL ") + kNotice + "\n"), load.console.empty() ? 0u : 1u)
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

      EXPECT_EQ(console, (switches.on_console ? kNoticeLine : "") + Report("C&C_Mesa.mix", 2));
      EXPECT_EQ(Lines_Holding(Todays_Log(folder), kNotice), switches.in_log ? 1u : 0u);
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
    EXPECT_EQ(Console_Of(Create_And_Load_Current_Settings), kNoticeLine + Report("C&C_Field.mix", 2));
    EXPECT_EQ(Console_Of(Create_And_Load_Current_Settings), kNoticeLine + Report("C&C_Field.mix", 2));
    EXPECT_EQ(Lines_Holding(Todays_Log(folder), kNotice), 2u);
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
    EXPECT_EQ(Console_Of(Create_And_Load_Current_Settings), kNoticeLine + Report("C&C_Field.mix", 2));
    VersionSettings* settings = Current_Settings();
    ASSERT_NE(settings, nullptr);

    folder.Write_Settings({{"Field", "2"}, {"M03", "3"}, {"M04", "4"}});
    EXPECT_EQ(Console_Of([&] { settings->Load_Settings(); }),
              Report("C&C_Field.mix", 2) + kNoticeLine + Report("M03.mix", 3) + Report("M04.mix", 4))
        << "the notice comes with the first key that changed";

    EXPECT_EQ(Console_Of([&] { settings->Load_Settings(); }),
              Report("C&C_Field.mix", 2) + Report("M03.mix", 3) + Report("M04.mix", 4))
        << "nothing changed: no notice";
    EXPECT_EQ(Lines_Holding(Todays_Log(folder), kNotice), 2u);
    Destroy_Current_Settings();
  });
}

}  // namespace
