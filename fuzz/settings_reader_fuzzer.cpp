// The checker's settings reader on any file content: binary bytes, huge lines, no line end at
// the end, a byte order mark, CR LF and lone CR, duplicate sections and keys. Its answer is
// held against an account of the same file written here line by line: each line is blank or
// a comment, a header, an entry or unreadable, exactly once, with its number; names and values
// come out as written, blanks around them removed. The integer and name helpers are held to
// their own rules on every value and key read.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/settings_reader.h"
#include "fuzz_input.h"

namespace {

using harvane_check::SettingsText;

bool Is_Blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && Is_Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Is_Blank(text.back())) text.remove_suffix(1);
  return text;
}

// Lines end with LF, CR LF or a lone CR; an end at the very end opens no further line.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

SettingsText Account_Of(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  SettingsText account;
  harvane_check::SettingsSection current;
  bool current_is_header = false;
  const std::vector<std::string_view> lines = Lines(text);
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const int number = static_cast<int>(index + 1);
    const std::string_view line = Trimmed(lines[index]);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      if (current_is_header || !current.entries.empty()) account.sections.push_back(current);
      current = {std::string(Trimmed(line.substr(1, line.size() - 2))), number, {}};
      current_is_header = true;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trimmed(line.substr(0, equals)).empty()) {
      account.unreadable_lines.push_back({number, std::string(line)});
      continue;
    }
    current.entries.push_back(
        {std::string(Trimmed(line.substr(0, equals))), std::string(Trimmed(line.substr(equals + 1))), number});
  }
  if (current_is_header || !current.entries.empty()) account.sections.push_back(current);
  return account;
}

std::string Shown(std::string_view text) { return std::string(text.substr(0, 80)); }

void Compare(const SettingsText& read, const SettingsText& account) {
  FUZZ_CHECK(read.sections.size() == account.sections.size(), "%zu sections read, %zu in the file",
             read.sections.size(), account.sections.size());
  for (std::size_t s = 0; s < read.sections.size(); ++s) {
    const auto& got = read.sections[s];
    const auto& want = account.sections[s];
    FUZZ_CHECK(got.name == want.name && got.line == want.line, "section %zu: \"%s\" at line %d, expected \"%s\" at %d",
               s, Shown(got.name).c_str(), got.line, Shown(want.name).c_str(), want.line);
    FUZZ_CHECK(got.entries.size() == want.entries.size(), "section %zu: %zu entries, expected %zu", s,
               got.entries.size(), want.entries.size());
    for (std::size_t e = 0; e < got.entries.size(); ++e) {
      FUZZ_CHECK(got.entries[e].key == want.entries[e].key && got.entries[e].value == want.entries[e].value &&
                     got.entries[e].line == want.entries[e].line,
                 "section %zu entry %zu: \"%s\"=\"%s\" at line %d, expected \"%s\"=\"%s\" at %d", s, e,
                 Shown(got.entries[e].key).c_str(), Shown(got.entries[e].value).c_str(), got.entries[e].line,
                 Shown(want.entries[e].key).c_str(), Shown(want.entries[e].value).c_str(), want.entries[e].line);
    }
  }
  FUZZ_CHECK(read.unreadable_lines.size() == account.unreadable_lines.size(), "%zu unreadable lines, expected %zu",
             read.unreadable_lines.size(), account.unreadable_lines.size());
  for (std::size_t u = 0; u < read.unreadable_lines.size(); ++u) {
    FUZZ_CHECK(read.unreadable_lines[u].line == account.unreadable_lines[u].line &&
                   read.unreadable_lines[u].text == account.unreadable_lines[u].text,
               "unreadable line %zu: line %d \"%s\", expected line %d \"%s\"", u, read.unreadable_lines[u].line,
               Shown(read.unreadable_lines[u].text).c_str(), account.unreadable_lines[u].line,
               Shown(account.unreadable_lines[u].text).c_str());
  }
}

// A plain integer: an optional sign, then decimal digits only, within signed 32 bits.
std::optional<std::int32_t> Plain_Integer(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
  if (text.size() > 10) return std::nullopt;
  std::int64_t magnitude = 0;
  for (char c : text) magnitude = magnitude * 10 + (c - '0');
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

bool Same_Ignoring_Ascii_Case(std::string_view left, std::string_view right) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (lower(left[i]) != lower(right[i])) return false;
  }
  return true;
}

void Check_Helpers(const SettingsText& read) {
  std::string_view previous_key;
  for (const auto& section : read.sections) {
    for (const auto& entry : section.entries) {
      const auto got = harvane_check::Parse_Plain_Integer(entry.value);
      const auto want = Plain_Integer(entry.value);
      FUZZ_CHECK(got == want, "\"%s\" read as %s, expected %s", Shown(entry.value).c_str(),
                 got ? std::to_string(*got).c_str() : "no integer", want ? std::to_string(*want).c_str() : "no integer");
      FUZZ_CHECK(harvane_check::Same_Name_Ignoring_Case(entry.key, previous_key) ==
                     Same_Ignoring_Ascii_Case(entry.key, previous_key),
                 "\"%s\" and \"%s\" compared wrongly", Shown(entry.key).c_str(), Shown(previous_key).c_str());
      FUZZ_CHECK(harvane_check::Same_Name_Ignoring_Case(section.name, entry.key) ==
                     Same_Ignoring_Ascii_Case(section.name, entry.key),
                 "\"%s\" and \"%s\" compared wrongly", Shown(section.name).c_str(), Shown(entry.key).c_str());
      previous_key = entry.key;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const SettingsText read = harvane_check::Read_Settings_Text(text);
  Compare(read, Account_Of(text));
  Check_Helpers(read);
  // Its own entries, read back as a file of one line, read the same (unless the key begins
  // with the byte order mark, which at the start of a file is dropped).
  for (const auto& section : read.sections) {
    for (const auto& entry : section.entries) {
      if (entry.key.compare(0, 3, "\xEF\xBB\xBF") == 0) continue;
      const SettingsText again = harvane_check::Read_Settings_Text(entry.key + "=" + entry.value);
      FUZZ_CHECK(again.sections.size() == 1 && again.sections[0].entries.size() == 1 &&
                     again.sections[0].entries[0].key == entry.key && again.sections[0].entries[0].value == entry.value,
                 "entry \"%s\"=\"%s\" does not read back", Shown(entry.key).c_str(), Shown(entry.value).c_str());
    }
  }
  return 0;
}
