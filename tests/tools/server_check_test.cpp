// The checker on small server folders: one kind of problem per case, with what it reports
// and the exit status it gives.
#include "check/server_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "check/report.h"
#include "server_folder.h"

namespace {

using harvane_check::Check_Server_Folder;
using harvane_check::CountSource;
using harvane_check::ServerReport;
using harvane_check::Severity;
using harvane_check::VersionState;

constexpr std::size_t kComplex = 0, kWalls = 11, kTutorial = 12, kM01 = 13;

std::string Findings(const ServerReport& report) {
  std::string text;
  for (const auto& finding : report.findings) {
    text += (finding.severity == Severity::Error ? "error: " : "warning: ") + finding.text + "\n";
  }
  return text;
}

// Complex=3 and M01=2, every version in place, data present: nothing to report.
void Clean_Setup(const ServerFolder& folder) {
  folder.Write_Settings({{"Complex", "3"}, {"M01", "2"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
  folder.Write_Versions("M01", "m01.ldd", 2);
}

TEST(ServerCheck, CleanSetupReportsCountsAndVersionsAndNothingElse) {
  ServerFolder folder;
  Clean_Setup(folder);
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(Findings(report), "");
  EXPECT_EQ(report.Exit_Status(), 0);
  EXPECT_TRUE(report.settings_found);
  EXPECT_TRUE(report.data_found);
  EXPECT_EQ(report.general_entries, 2u);
  EXPECT_EQ(report.Configured_Maps(), 2);
  for (std::size_t row = 0; row < kMapCount; ++row) {
    const auto& map_row = report.rows[row];
    const std::int32_t expected = row == kComplex ? 3 : row == kM01 ? 2 : 0;
    EXPECT_EQ(map_row.count, expected) << MapCatalogue[row].key;
    EXPECT_EQ(map_row.source, expected > 0 ? CountSource::Written : CountSource::Absent) << MapCatalogue[row].key;
    EXPECT_EQ(harvane_check::Describe_Versions(map_row),
              expected == 3 ? "1-3 present" : expected == 2 ? "1-2 present" : "")
        << MapCatalogue[row].key;
  }
  EXPECT_EQ(report.rows[kComplex].line, 2);
  EXPECT_EQ(report.rows[kM01].line, 3);
}

TEST(ServerCheck, VersionFolderOfAKeyEndingInADigitIsTheKeyAndTheNumber) {
  ServerFolder folder;
  folder.Write_Settings({{"M01", "11"}});
  folder.Write_Versions("M01", "m01.ldd", 11);  // M011 ... M0111
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(Findings(report), "");
  EXPECT_EQ(harvane_check::Describe_Versions(report.rows[kM01]), "1-11 present");
}

TEST(ServerCheck, HugeCountIsCheckedWithoutVisitingEveryVersion) {
  ServerFolder folder;
  folder.Write_Settings({{"Complex", "2147483647"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 2);
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(harvane_check::Describe_Versions(report.rows[kComplex]), "1-2 present, 3-2147483647 no folder");
  EXPECT_EQ(Findings(report),
            "error: Complex versions 3-2147483647: folders Complex3 to Complex2147483647 are missing (copy error 3)\n");
}

TEST(ServerCheck, VersionRangesFollowWhatIsThere) {
  ServerFolder folder;
  folder.Write_Settings({{"Walls", "7"}});
  folder.Write("Walls1/C&C_Walls.ldd", "1");
  folder.Write("Walls2/C&C_Walls.ldd", "2");
  folder.Write("Walls4/other.txt", "");
  folder.Write("Walls5/C&C_Walls.ldd/inside", "");
  folder.Write("Walls7/C&C_Walls.ldd", "7");
  const ServerReport report = Check_Server_Folder(folder.Path());
  const auto& walls = report.rows[kWalls];
  EXPECT_EQ(harvane_check::Describe_Versions(walls), "1-2 present, 3 no folder, 4 no file, 5 not a file, 6 no folder, 7 present");
  EXPECT_EQ(walls.Versions_In(VersionState::Present), 3);
  for (std::int32_t version = 0; version <= 8; ++version) {
    EXPECT_EQ(walls.Version_Present(version), version == 1 || version == 2 || version == 7) << version;
  }
  EXPECT_EQ(report.Exit_Status(), 2);
}

struct ProblemCase {
  const char* name;
  std::function<void(const ServerFolder&)> setup;  // applied to the clean setup
  Severity severity;
  std::string finding;  // the whole text of the one finding expected
  int exit_status;
};

void PrintTo(const ProblemCase& param, std::ostream* out) { *out << '"' << param.name << '"'; }

void Settings(const ServerFolder& folder, const std::string& text) { folder.Write("Harvane.ini", text); }

class ServerProblemTest : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(ServerProblemTest, ReportsTheProblemAndNothingElse) {
  ServerFolder folder;
  Clean_Setup(folder);
  GetParam().setup(folder);
  const ServerReport report = Check_Server_Folder(folder.Path());
  const std::string expected =
      std::string(GetParam().severity == Severity::Error ? "error: " : "warning: ") + GetParam().finding + "\n";
  EXPECT_EQ(Findings(report), expected);
  EXPECT_EQ(report.Exit_Status(), GetParam().exit_status);
}

INSTANTIATE_TEST_SUITE_P(
    Problems, ServerProblemTest,
    ::testing::Values(
        // --- the settings file and the data folder ---
        ProblemCase{"settings_missing", [](const ServerFolder& f) { f.Remove("Harvane.ini"); }, Severity::Error,
                    "Harvane.ini is missing: every count is 0 and the plug-in copies nothing", 2},
        ProblemCase{"settings_in_other_case",
                    [](const ServerFolder& f) {
                      f.Write("harvane.ini", f.Read("Harvane.ini"));
                      f.Remove("Harvane.ini");
                    },
                    Severity::Error,
                    "Harvane.ini is missing: every count is 0 and the plug-in copies nothing (there is harvane.ini, "
                    "but file names are case-sensitive here)",
                    2},
        ProblemCase{"data_missing", [](const ServerFolder& f) { ::rmdir((f.Path() + "/data").c_str()); }, Severity::Error,
                    "the data folder is missing: the plug-in cannot stage Harvane.ini there, so every count reads as 0, "
                    "and every copy into data fails (copy error 3)",
                    2},
        ProblemCase{"data_not_a_folder",
                    [](const ServerFolder& f) {
                      ::rmdir((f.Path() + "/data").c_str());
                      f.Write("data", "");
                    },
                    Severity::Error,
                    "data is not a folder: the plug-in cannot stage Harvane.ini there, and every copy into data fails", 2},
        // --- the counts ---
        ProblemCase{"count_of_one", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nMesa=1\n"); f.Write_Versions("Mesa", "C&C_Mesa.ldd", 1); },
                    Severity::Warning,
                    "line 4: Mesa=1: version 1 is put into data at start-up and never rotated; a map rotates with 2 "
                    "versions or more",
                    1},
        ProblemCase{"zero_written", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nField=0\n"); },
                    Severity::Warning,
                    "line 4: Field=0 is written out: C&C_Field.mix is not rotated (leave the key out if that is meant)", 1},
        ProblemCase{"negative", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nField=-2\n"); },
                    Severity::Warning, "line 4: Field=-2 is below 0: C&C_Field.mix is not rotated, as with 0", 1},
        ProblemCase{"not_a_number", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2 versions\n"); },
                    Severity::Error,
                    "line 3: M01=2 versions is not a plain whole number: what the server makes of it is not defined; "
                    "write a count, as M01=3",
                    2},
        ProblemCase{"no_value", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=\n"); },
                    Severity::Error,
                    "line 3: M01 has no value: what the server makes of it is not defined; write a count, as M01=3", 2},
        // --- the keys ---
        ProblemCase{"misspelt_key", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nCompex=3\n"); },
                    Severity::Warning, "line 4: \"Compex\" is not a map key and is not read; did you mean \"Complex\"?", 1},
        ProblemCase{"unknown_key", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nGlacier=2\n"); },
                    Severity::Warning, "line 4: \"Glacier\" is not a map key and is not read", 1},
        ProblemCase{"key_in_other_case", [](const ServerFolder& f) { Settings(f, "[General]\ncomplex=3\nM01=2\n"); },
                    Severity::Warning,
                    "line 2: \"complex\" differs from the key \"Complex\" only in letter case; write it \"Complex\" "
                    "(counted here as Complex)",
                    1},
        ProblemCase{"section_in_other_case", [](const ServerFolder& f) { Settings(f, "[GENERAL]\nComplex=3\nM01=2\n"); },
                    Severity::Warning, "line 1: [GENERAL] differs from [General] only in letter case; write [General]", 1},
        ProblemCase{"key_set_twice", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nComplex=5\n"); },
                    Severity::Warning, "line 4: Complex is set again; only the first entry (line 2) is read", 1},
        ProblemCase{"key_in_other_section",
                    [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\n[Maps]\nVolcano=2\n"); },
                    Severity::Warning,
                    "line 5: Volcano is in section [Maps] and is not read: the plug-in reads section [General] only", 1},
        ProblemCase{"key_before_any_section",
                    [](const ServerFolder& f) { Settings(f, "Volcano=2\n[General]\nComplex=3\nM01=2\n"); },
                    Severity::Warning,
                    "line 1: Volcano is before any section and is not read: the plug-in reads section [General] only", 1},
        ProblemCase{"line_without_equals", [](const ServerFolder& f) { Settings(f, "[General]\nComplex=3\nM01=2\nMesa 2\n"); },
                    Severity::Warning, "line 4: \"Mesa 2\" is not a key=value entry and is ignored; did you mean \"Mesa=2\"?", 1},
        // --- the version folders and files ---
        ProblemCase{"version_folder_missing", [](const ServerFolder& f) { f.Remove("Complex2/C&C_Complex.ldd"); ::rmdir((f.Path() + "/Complex2").c_str()); },
                    Severity::Error, "Complex version 2: folder Complex2 is missing (copy error 3)", 2},
        ProblemCase{"version_folder_in_other_case",
                    [](const ServerFolder& f) { ::rename((f.Path() + "/M012").c_str(), (f.Path() + "/m012").c_str()); },
                    Severity::Error,
                    "M01 version 2: folder M012 is missing (copy error 3); there is m012, but file names are "
                    "case-sensitive here",
                    2},
        ProblemCase{"level_file_missing", [](const ServerFolder& f) { f.Remove("Complex3/C&C_Complex.ldd"); f.Write("Complex3/notes.txt", "x"); },
                    Severity::Error, "Complex version 3: Complex3/C&C_Complex.ldd is missing (copy error 2)", 2},
        ProblemCase{"level_file_of_another_map",
                    [](const ServerFolder& f) {
                      f.Remove("Complex3/C&C_Complex.ldd");
                      f.Write("Complex3/C&C_City.ldd", "city");
                    },
                    Severity::Error,
                    "Complex version 3: Complex3/C&C_Complex.ldd is missing (copy error 2); Complex3 holds C&C_City.ldd "
                    "(copied from another map?)",
                    2},
        ProblemCase{"level_file_in_other_case",
                    [](const ServerFolder& f) {
                      f.Remove("M011/m01.ldd");
                      f.Write("M011/M01.ldd", "v1");
                    },
                    Severity::Error,
                    "M01 version 1: M011/m01.ldd is missing (copy error 2); M011 holds M01.ldd, but file names are "
                    "case-sensitive here",
                    2},
        ProblemCase{"empty_version_folder", [](const ServerFolder& f) { f.Remove("Complex3/C&C_Complex.ldd"); },
                    Severity::Error, "Complex version 3: Complex3/C&C_Complex.ldd is missing (copy error 2); Complex3 is empty", 2},
        ProblemCase{"level_file_is_a_folder",
                    [](const ServerFolder& f) {
                      f.Remove("Complex1/C&C_Complex.ldd");
                      f.Write("Complex1/C&C_Complex.ldd/inside", "");
                    },
                    Severity::Error, "Complex version 1: Complex1/C&C_Complex.ldd is not a file (copy error 5)", 2},
        ProblemCase{"empty_level_file", [](const ServerFolder& f) { f.Write("Complex2/C&C_Complex.ldd", ""); },
                    Severity::Warning, "Complex version 2: Complex2/C&C_Complex.ldd is empty", 1},
        ProblemCase{"same_file_twice",
                    [](const ServerFolder& f) { f.Write("Complex3/C&C_Complex.ldd", f.Read("Complex1/C&C_Complex.ldd")); },
                    Severity::Warning,
                    "Complex: Complex1/C&C_Complex.ldd and Complex3/C&C_Complex.ldd are the same file, so the rotation "
                    "changes nothing between them",
                    1},
        ProblemCase{"folders_beyond_the_count", [](const ServerFolder& f) { f.Write_Versions("M01", "m01.ldd", 4); },
                    Severity::Warning, "M01: M013 and M014 are never used, since M01=2", 1},
        ProblemCase{"folders_of_a_map_not_set", [](const ServerFolder& f) { f.Write_Versions("Hourglass", "C&C_Hourglass.ldd", 2); },
                    Severity::Warning,
                    "Hourglass: there are Hourglass1 and Hourglass2 but Harvane.ini does not set Hourglass, so "
                    "C&C_Hourglass.mix is not rotated",
                    1},
        ProblemCase{"leading_zero", [](const ServerFolder& f) { f.Write("Complex01/C&C_Complex.ldd", "x"); },
                    Severity::Warning,
                    "Complex: Complex01 is not a version folder: the version follows the key without leading zeros, as "
                    "Complex1",
                    1}),
    [](const ::testing::TestParamInfo<ProblemCase>& param) { return std::string(param.param.name); });

TEST(ServerCheck, SettingsWithoutGeneralSectionCountNothing) {
  ServerFolder folder;
  folder.Write("Harvane.ini", "[Maps]\nGlacier=2\n");
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(Findings(report), "warning: Harvane.ini has no section [General]: every count is 0\n");
  EXPECT_EQ(report.Exit_Status(), 1);
}

TEST(ServerCheck, GeneralSectionWithoutCountsConfiguresNothing) {
  ServerFolder folder;
  folder.Write("Harvane.ini", "[General]\nComplex=0\n");
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(Findings(report),
            "warning: line 2: Complex=0 is written out: C&C_Complex.mix is not rotated (leave the key out if that is meant)\n"
            "warning: no map has a count above 0: the plug-in will copy nothing\n");
  EXPECT_EQ(report.Exit_Status(), 1);
}

TEST(ServerCheck, KeyInOtherCaseIsCountedAndItsVersionsChecked) {
  ServerFolder folder;
  folder.Write_Settings({{"WALLS", "2"}});
  folder.Write_Versions("Walls", "C&C_Walls.ldd", 1);
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(report.rows[kWalls].count, 2);
  EXPECT_EQ(report.rows[kWalls].written_key, "WALLS");
  EXPECT_EQ(harvane_check::Describe_Versions(report.rows[kWalls]), "1 present, 2 no folder");
}

TEST(ServerCheck, FirstEntryOfAKeyIsTheOneCounted) {
  ServerFolder folder;
  folder.Write("Harvane.ini", "[General]\ntutorial=4\nTutorial=2\n");
  folder.Write_Versions("Tutorial", "m00_tutorial.ldd", 4);
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(report.rows[kTutorial].count, 4);
  EXPECT_EQ(report.rows[kTutorial].line, 2);
}

TEST(ServerCheck, ValueThatIsNoNumberCountsAsZero) {
  ServerFolder folder;
  folder.Write_Settings({{"Complex", "three"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 3);
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(report.rows[kComplex].source, CountSource::NotAnInteger);
  EXPECT_EQ(report.rows[kComplex].count, 0);
  EXPECT_EQ(report.rows[kComplex].written_value, "three");
  EXPECT_TRUE(report.rows[kComplex].versions.empty());
  EXPECT_EQ(report.Exit_Status(), 2);
}

TEST(ServerCheck, ErrorsOutweighWarnings) {
  ServerFolder folder;
  folder.Write_Settings({{"Complex", "3"}, {"Compex", "3"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 2);
  const ServerReport report = Check_Server_Folder(folder.Path());
  EXPECT_EQ(report.Errors(), 1u);
  EXPECT_EQ(report.Warnings(), 1u);
  EXPECT_EQ(report.Exit_Status(), 2);
}

TEST(ServerCheck, FindingsComeInLineOrderThenByMap) {
  ServerFolder folder;
  folder.Write("Harvane.ini", "[General]\nWalls=2\nMesa=1\nCompex=2\n");
  folder.Write_Versions("Mesa", "C&C_Mesa.ldd", 1);
  const ServerReport report = Check_Server_Folder(folder.Path());
  ASSERT_EQ(report.findings.size(), 3u) << Findings(report);
  EXPECT_EQ(report.findings[0].text.rfind("line 3: Mesa=1", 0), 0u);
  EXPECT_EQ(report.findings[1].text.rfind("line 4: \"Compex\"", 0), 0u);
  EXPECT_EQ(report.findings[2].text.rfind("Walls versions 1-2: folders Walls1 and Walls2 are missing", 0), 0u);
}

}  // namespace
