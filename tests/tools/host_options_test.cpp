// harvane-host's command line.
#include "host/host_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using harvane_host::Parse_Host_Options;
using harvane_host::PlaySource;

TEST(HostOptions, DefaultsPlayNothingInTheCurrentFolderOnBuild0) {
  const auto parsed = Parse_Host_Options({});
  ASSERT_EQ(parsed.error, "");
  const auto& options = parsed.options;
  EXPECT_EQ(options.server_folder, ".");
  ASSERT_TRUE(options.build.has_value());
  EXPECT_EQ(*options.build, 0);
  EXPECT_FALSE(options.sse_flag);
  EXPECT_TRUE(options.write_all_headers);
  EXPECT_TRUE(options.echo_to_console);
  EXPECT_EQ(options.log_file_stem, "gamelog");
  EXPECT_TRUE(options.plays.empty());
  EXPECT_EQ(options.repeat, 1);
  EXPECT_FALSE(options.quiet);
  EXPECT_FALSE(options.show_data);
  EXPECT_FALSE(options.help);
}

TEST(HostOptions, ReadsEveryOption) {
  const auto parsed = Parse_Host_Options({"--build", "none", "--sse-flag", "on", "--write-all-headers", "off",
                                          "--echo-to-console", "off", "--log-stem", "logs/ssgm", "--extension", "none",
                                          "--plugin", "lib/libHarvane.so", "--repeat", "3", "--quiet", "--show-data",
                                          "server"});
  ASSERT_EQ(parsed.error, "");
  const auto& options = parsed.options;
  EXPECT_FALSE(options.build.has_value());
  EXPECT_TRUE(options.sse_flag);
  EXPECT_FALSE(options.write_all_headers);
  EXPECT_FALSE(options.echo_to_console);
  EXPECT_EQ(options.log_file_stem, "logs/ssgm");
  EXPECT_EQ(options.extension_library, "none");
  EXPECT_EQ(options.plugin_library, "lib/libHarvane.so");
  EXPECT_EQ(options.repeat, 3);
  EXPECT_TRUE(options.quiet);
  EXPECT_TRUE(options.show_data);
  EXPECT_EQ(options.server_folder, "server");
}

TEST(HostOptions, KeepsPlaysAndRotationListsInCommandLineOrder) {
  const auto parsed = Parse_Host_Options(
      {"--play", "C&C_Complex.mix", "--rotation", "list.txt", "--play", "M01.mix", "--play", "C&C_Complex.mix"});
  ASSERT_EQ(parsed.error, "");
  const auto& plays = parsed.options.plays;
  ASSERT_EQ(plays.size(), 4u);
  const std::vector<std::pair<PlaySource::Kind, std::string>> expected = {
      {PlaySource::Kind::Map, "C&C_Complex.mix"},
      {PlaySource::Kind::RotationFile, "list.txt"},
      {PlaySource::Kind::Map, "M01.mix"},
      {PlaySource::Kind::Map, "C&C_Complex.mix"}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(plays[i].kind, expected[i].first) << i;
    EXPECT_EQ(plays[i].text, expected[i].second) << i;
  }
}

TEST(HostOptions, BuildsTheSubstituteHostCanLayOut) {
  for (const char* build : {"0", "1", "4"}) {
    const auto parsed = Parse_Host_Options({"--build", build});
    ASSERT_EQ(parsed.error, "") << build;
    EXPECT_EQ(parsed.options.build, std::stoi(build));
  }
}

struct RefusedCase {
  std::vector<std::string> arguments;
  const char* error;
};

class RefusedHostOptionsTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedHostOptionsTest, NamesWhatIsWrong) {
  EXPECT_EQ(Parse_Host_Options(GetParam().arguments).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, RefusedHostOptionsTest,
    ::testing::Values(
        RefusedCase{{"--fast"}, "unknown option --fast"},
        RefusedCase{{"-x"}, "unknown option -x"},
        RefusedCase{{"--build", "2"}, "--build takes 0, 1, 4 or none (the builds the substitute host can lay out), not \"2\""},
        RefusedCase{{"--build", "6"}, "--build takes 0, 1, 4 or none (the builds the substitute host can lay out), not \"6\""},
        RefusedCase{{"--build", "00"}, "--build takes 0, 1, 4 or none (the builds the substitute host can lay out), not \"00\""},
        RefusedCase{{"--build"}, "--build needs a value"},
        RefusedCase{{"--play"}, "--play needs a value"},
        RefusedCase{{"--play", ""}, "--play needs a non-empty value"},
        RefusedCase{{"--rotation"}, "--rotation needs a value"},
        RefusedCase{{"--sse-flag", "1"}, "--sse-flag takes on or off, not \"1\""},
        RefusedCase{{"--write-all-headers", "yes"}, "--write-all-headers takes on or off, not \"yes\""},
        RefusedCase{{"--echo-to-console", "ON"}, "--echo-to-console takes on or off, not \"ON\""},
        RefusedCase{{"--repeat", "0"}, "--repeat takes a number from 1 to 1000, not \"0\""},
        RefusedCase{{"--repeat", "1001"}, "--repeat takes a number from 1 to 1000, not \"1001\""},
        RefusedCase{{"--repeat", "2x"}, "--repeat takes a number from 1 to 1000, not \"2x\""},
        RefusedCase{{"--repeat", "99999999999"}, "--repeat takes a number from 1 to 1000, not \"99999999999\""},
        RefusedCase{{"--log-stem"}, "--log-stem needs a value"},
        RefusedCase{{"one", "two"}, "one server folder at most, not both one and two"}));

TEST(RotationList, SkipsBlankAndCommentLinesAndTrimsNames) {
  EXPECT_EQ(harvane_host::Read_Rotation_List("# rotation\nC&C_Complex.mix\r\n\n  M01.mix  \n; off\n\tC&C_Walls.mix"),
            (std::vector<std::string>{"C&C_Complex.mix", "M01.mix", "C&C_Walls.mix"}));
  EXPECT_TRUE(harvane_host::Read_Rotation_List("").empty());
  EXPECT_TRUE(harvane_host::Read_Rotation_List("# nothing\n\n").empty());
}

}  // namespace
