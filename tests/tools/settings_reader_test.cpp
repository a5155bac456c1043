// The checker's settings reader: sections, entries and their lines, from any text.
#include "check/settings_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using harvane_check::Parse_Plain_Integer;
using harvane_check::Read_Settings_Text;
using harvane_check::SettingsText;

// "[section@line] key=value@line ... | unreadable@line ..." for compact comparison.
std::string Outline(const SettingsText& settings) {
  std::string text;
  for (const auto& section : settings.sections) {
    if (!text.empty()) text += ' ';
    text += "[" + section.name + "@" + std::to_string(section.line) + "]";
    for (const auto& entry : section.entries) {
      text += " " + entry.key + "=" + entry.value + "@" + std::to_string(entry.line);
    }
  }
  if (!settings.unreadable_lines.empty()) {
    text += " |";
    for (const auto& line : settings.unreadable_lines) text += " " + line.text + "@" + std::to_string(line.line);
  }
  return text;
}

struct ReaderCase {
  const char* what;
  std::string text;
  std::string outline;
};

void PrintTo(const ReaderCase& param, std::ostream* out) { *out << '"' << param.what << '"'; }

class SettingsReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(SettingsReaderTest, ReadsSectionsEntriesAndLines) {
  EXPECT_EQ(Outline(Read_Settings_Text(GetParam().text)), GetParam().outline) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SettingsReaderTest,
    ::testing::Values(
        ReaderCase{"empty text", "", ""},
        ReaderCase{"one section", "[General]\nComplex=3\nM01=2\n", "[General@1] Complex=3@2 M01=2@3"},
        ReaderCase{"blanks around names and values are dropped, inner ones kept",
                   "  [ General ]  \n\t Complex \t=  3 4 \n", "[General@1] Complex=3 4@2"},
        ReaderCase{"comments and blank lines count as lines",
                   "; settings\n\n# more\n[General]\n  ; Complex=9\nWalls=2\n", "[General@4] Walls=2@6"},
        ReaderCase{"CR LF line ends", "[General]\r\nComplex=3\r\nWalls=2\r\n", "[General@1] Complex=3@2 Walls=2@3"},
        ReaderCase{"CR line ends", "[General]\rComplex=3\rWalls=2", "[General@1] Complex=3@2 Walls=2@3"},
        ReaderCase{"a byte order mark is skipped", "\xEF\xBB\xBF[General]\nComplex=3\n", "[General@1] Complex=3@2"},
        ReaderCase{"no line end after the last line", "[General]\nComplex=3", "[General@1] Complex=3@2"},
        ReaderCase{"entries before any header form a section of their own",
                   "Complex=3\n[General]\nWalls=2\n", "[@0] Complex=3@1 [General@2] Walls=2@3"},
        ReaderCase{"a header without entries is kept", "[General]\n[Other]\nM01=2\n",
                   "[General@1] [Other@2] M01=2@3"},
        ReaderCase{"the same section twice stays twice, in file order", "[General]\nA=1\n[X]\n[General]\nB=2\n",
                   "[General@1] A=1@2 [X@3] [General@4] B=2@5"},
        ReaderCase{"split at the first '='", "[General]\nComplex==3=4\n", "[General@1] Complex==3=4@2"},
        ReaderCase{"an empty value is an entry", "[General]\nComplex=\n", "[General@1] Complex=@2"},
        ReaderCase{"names keep their letter case", "[general]\ncomplex=3\n", "[general@1] complex=3@2"},
        ReaderCase{"lines that are no entry", "[General]\nComplex 3\n=3\n[General\n  Walls=2\n",
                   "[General@1] Walls=2@5 | Complex 3@2 =3@3 [General@4"},
        ReaderCase{"an inline comment stays in the value", "[General]\nComplex=3 ; three\n",
                   "[General@1] Complex=3 ; three@2"},
        ReaderCase{"NUL bytes are text like any other", std::string("[General]\nCom\0plex=3\n", 21),
                   std::string("[General@1] Com\0plex=3@2", 24)}),
    [](const ::testing::TestParamInfo<ReaderCase>& param) { return "case" + std::to_string(param.index); });

TEST(SettingsReader, EveryShortByteSequenceGivesNamedEntriesOnRealLines) {
  // Every text of up to three bytes from an alphabet of the reader's special characters.
  const std::string alphabet = std::string("[]=;#\r\n \tA\xEF\xBB\xBF", 13) + std::string(1, '\0');
  for (std::size_t a = 0; a <= alphabet.size(); ++a) {
    for (std::size_t b = 0; b <= alphabet.size(); ++b) {
      for (std::size_t c = 0; c <= alphabet.size(); ++c) {
        std::string text;
        for (std::size_t i : {a, b, c}) {
          if (i < alphabet.size()) text += alphabet[i];
        }
        const SettingsText settings = Read_Settings_Text(text);
        const int most_lines = static_cast<int>(text.size()) + 1;
        for (const auto& section : settings.sections) {
          EXPECT_LE(section.line, most_lines);
          for (const auto& entry : section.entries) {
            EXPECT_FALSE(entry.key.empty()) << Outline(settings);
            EXPECT_GE(entry.line, 1);
            EXPECT_LE(entry.line, most_lines);
            EXPECT_EQ(entry.key.find('='), std::string::npos) << Outline(settings);
          }
        }
      }
    }
  }
}

struct IntegerCase {
  const char* text;
  std::optional<std::int32_t> value;
};

void PrintTo(const IntegerCase& param, std::ostream* out) { *out << '"' << param.text << '"'; }

class PlainIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(PlainIntegerTest, AcceptsSignAndDigitsWithin32Bits) {
  EXPECT_EQ(Parse_Plain_Integer(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Values, PlainIntegerTest,
    ::testing::Values(IntegerCase{"3", 3}, IntegerCase{"0", 0}, IntegerCase{"007", 7}, IntegerCase{"+2", 2},
                      IntegerCase{"-1", -1}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", -2147483647 - 1}, IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"-2147483649", std::nullopt}, IntegerCase{"99999999999999999999", std::nullopt},
                      IntegerCase{"", std::nullopt}, IntegerCase{"-", std::nullopt}, IntegerCase{"+", std::nullopt},
                      IntegerCase{"3x", std::nullopt}, IntegerCase{"three", std::nullopt},
                      IntegerCase{"3 ; three", std::nullopt}, IntegerCase{" 3", std::nullopt},
                      IntegerCase{"0x10", std::nullopt}, IntegerCase{"1e3", std::nullopt},
                      IntegerCase{"3.0", std::nullopt}, IntegerCase{"--3", std::nullopt}));

TEST(SameNameIgnoringCase, ComparesAsciiLettersWithoutCase) {
  EXPECT_TRUE(harvane_check::Same_Name_Ignoring_Case("General", "general"));
  EXPECT_TRUE(harvane_check::Same_Name_Ignoring_Case("M01", "m01"));
  EXPECT_FALSE(harvane_check::Same_Name_Ignoring_Case("Complex", "Complex1"));
  EXPECT_FALSE(harvane_check::Same_Name_Ignoring_Case("Walls", "Walla"));
  EXPECT_FALSE(harvane_check::Same_Name_Ignoring_Case("[", "{"));  // 0x5B and 0x7B differ by 0x20 but are no letters
}

}  // namespace
