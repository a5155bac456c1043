// Lines in the host's dated game log: the header gate, the console echo, the file name
// from the host's stem and the date, and the time stamp of each line.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "../common/scenario_support.h"
#include "expected_game_log.h"
#include "fresh_process.h"
#include "gamelog/game_log_writer.h"
#include "host_settings_record.h"
#include "server_folder.h"

namespace {

std::tm Local_Now() {
  const std::time_t now = std::time(nullptr);
  return *std::localtime(&now);
}

// The log of the day for `stem`; also looks at yesterday's name when the write straddled midnight.
std::string Log_Of_Today(const ServerFolder& folder, const std::string& stem, const std::string& date_before) {
  const std::string today = folder.Read(stem + "_" + Log_Date(Local_Now()) + ".txt");
  return today.empty() ? folder.Read(stem + "_" + date_before + ".txt") : today;
}

std::vector<std::string> Files_In(const ServerFolder& folder) { return Folder_Entries(folder.Path()); }

// Writes one line through the writer; returns the console's part.
std::string Write_Line(const char* message, const char* header) {
  return Console_Of([&] { GameLogWriter(message, header); });
}

TEST(FormatLogDate, MonthAndDayWithoutLeadingZerosAndAFourDigitYear) {
  struct Case {
    std::int32_t month, day, year;
    const char* expected;
  };
  const Case cases[] = {
      {3, 5, 2009, "3-5-2009"},
      {12, 25, 2009, "12-25-2009"},
      {10, 9, 2009, "10-9-2009"},
      {1, 31, 2024, "1-31-2024"},
      {7, 4, 999, "7-4-0999"},
  };
  for (const Case& c : cases) EXPECT_STREQ(Format_Log_Date(c.month, c.day, c.year), c.expected);
}

struct GateCase {
  bool write_all_headers;
  bool echo_to_console;
  const char* header;
  bool written;
  bool echoed;
};

const GateCase kGateCases[] = {
    {false, false, "_GENERAL", false, false},
    {false, true, "_GENERAL", false, false},
    {true, false, "_GENERAL", true, false},
    {true, true, "_GENERAL", true, true},
    {false, false, "_GAMELOG", true, false},
    {false, true, "_GAMELOG", true, false},
    {true, true, "_GAMELOG", true, false},
    // Another case, or anything more or less, is another header.
    {false, true, "_gamelog", false, false},
    {true, true, "_gamelog", true, true},
    {true, true, "_GAMELOGS", true, true},
    {false, true, "_GAMELO", false, false},
    {true, true, "", true, true},
};

TEST(GameLogWriter, TheHostsSwitchesAndTheHeaderDecideWhatIsWrittenAndEchoed) {
  for (const GateCase& gate : kGateCases) {
    SCOPED_TRACE(std::string("write all ") + (gate.write_all_headers ? "on" : "off") + ", echo " +
                 (gate.echo_to_console ? "on" : "off") + ", header \"" + gate.header + "\"");
    In_Fresh_Process([&] {
      ServerFolder folder;
      HostSettingsRecord host_settings(gate.write_all_headers, gate.echo_to_console, "gamelog");
      Keep_Host_Settings(host_settings.Address());
      const std::string date = Log_Date(Local_Now());
      const char message[] = "Map rotation 100% ready %s %d";  // printf directives stay text

      const std::string console = Write_Line(message, gate.header);

      EXPECT_EQ(console, gate.echoed ? std::string(message) + "\n" : "");
      const std::string log = Log_Of_Today(folder, "gamelog", date);
      if (gate.written) {
        const std::regex line("\\[[0-9]{2}:[0-9]{2}:[0-9]{2}\\] " + std::string(gate.header) +
                              " Map rotation 100% ready %s %d\n");
        EXPECT_TRUE(std::regex_match(log, line)) << "log:\n" << log;
      } else {
        EXPECT_FALSE(folder.Exists("gamelog_" + date + ".txt"));
        EXPECT_EQ(log, "");
      }
    });
  }
}

TEST(GameLogWriter, TheLineCarriesTheLocalTimeZeroPadded) {
  In_Fresh_Process([] {
    ServerFolder folder;
    HostSettingsRecord host_settings(true, false, "gamelog");
    Keep_Host_Settings(host_settings.Address());
    const std::string date = Log_Date(Local_Now());

    Write_Line("New settings detected and loaded from Harvane.ini!", "_GENERAL");
    const std::tm now = Local_Now();

    const std::string log = Log_Of_Today(folder, "gamelog", date);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(log, parts,
                                 std::regex("\\[([0-9]{2}):([0-9]{2}):([0-9]{2})\\] _GENERAL New settings detected "
                                            "and loaded from Harvane.ini!\n")))
        << "log:\n" << log;
    const int hour = std::stoi(parts[1]), minute = std::stoi(parts[2]), second = std::stoi(parts[3]);
    EXPECT_LT(hour, 24);
    EXPECT_LT(minute, 60);
    EXPECT_LT(second, 61);
    const int written_at = hour * 3600 + minute * 60 + second;
    const int read_at = now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec;
    const int behind = (read_at - written_at + 86400) % 86400;
    EXPECT_LE(behind, 2) << "written at " << parts[1] << ":" << parts[2] << ":" << parts[3];
  });
}

TEST(GameLogWriter, AnExistingLogOfTheDayIsAppendedTo) {
  In_Fresh_Process([] {
    ServerFolder folder;
    HostSettingsRecord host_settings(false, false, "gamelog");
    Keep_Host_Settings(host_settings.Address());
    const std::string date = Log_Date(Local_Now());
    folder.Write("gamelog_" + date + ".txt", "[08:00:00] _GAMELOG an earlier line\n");

    Write_Line("first", "_GAMELOG");
    Write_Line("second", "_GAMELOG");

    const std::string log = Log_Of_Today(folder, "gamelog", date);
    EXPECT_TRUE(std::regex_match(log, std::regex("\\[08:00:00\\] _GAMELOG an earlier line\n"
                                                 "\\[[0-9:]{8}\\] _GAMELOG first\n"
                                                 "\\[[0-9:]{8}\\] _GAMELOG second\n")))
        << "log:\n" << log;
  });
}

struct StemCase {
  const char* name;
  std::string stem;
  std::uint32_t heap_capacity;  // 0: in place where it fits
};

const StemCase kStemCases[] = {
    {"short, in place", "gamelog", 0},
    {"fifteen characters, in place", "fifteen_chars_x", 0},
    {"sixteen characters on the heap", "sixteen_chars_xx", 0},
    {"long on the heap with room to spare", "server_game_log_of_the_week", 47},
    {"short but on the heap", "log", 16},
};

TEST(GameLogWriter, TheFileIsNamedFromTheHostsStemAndTheDate) {
  for (const StemCase& stem_case : kStemCases) {
    SCOPED_TRACE(stem_case.name);
    In_Fresh_Process([&] {
      ServerFolder folder;
      HostSettingsRecord host_settings(true, false, "");
      host_settings.Set_Stem(stem_case.stem, stem_case.heap_capacity);
      Keep_Host_Settings(host_settings.Address());
      const std::string date = Log_Date(Local_Now());

      Write_Line("stem check", "_GENERAL");

      const std::string log = Log_Of_Today(folder, stem_case.stem, date);
      EXPECT_TRUE(std::regex_match(log, std::regex("\\[[0-9:]{8}\\] _GENERAL stem check\n"))) << "log:\n" << log;
    });
  }
}

TEST(GameLogWriter, ALogThatCannotBeOpenedStillGetsItsEcho) {
  In_Fresh_Process([] {
    ServerFolder folder;
    HostSettingsRecord host_settings(true, true, "no_such_folder/gamelog");
    Keep_Host_Settings(host_settings.Address());

    EXPECT_EQ(Write_Line("still echoed", "_GENERAL"), "still echoed\n");
    EXPECT_EQ(Write_Line("never echoed", "_GAMELOG"), "");
    EXPECT_EQ(Files_In(folder), std::vector<std::string>{"data"});
  });
}

TEST(GameLogWriter, WithoutTheHostsSettingsRecordNothingIsWritten) {
  In_Fresh_Process([] {
    ServerFolder folder;
    Keep_Host_Settings(nullptr);
    EXPECT_EQ(Write_Line("nowhere to go", "_GENERAL"), "");
    EXPECT_EQ(Write_Line("nowhere to go", "_GAMELOG"), "");
    EXPECT_EQ(Files_In(folder), std::vector<std::string>{"data"});
  });
}

}  // namespace
