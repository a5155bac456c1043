// Reads the text of an INI settings file into its sections and entries, keeping line
// numbers and the exact spelling of every name so the checker can point at a line.
//
// Read_Settings_Text accepts any text (binary included) and never throws beyond
// std::bad_alloc; it does not touch the file system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harvane_check {

struct SettingsEntry {
  std::string key;    // as written, blanks around it removed
  std::string value;  // as written, blanks around it removed
  int line = 0;       // 1-based
};

struct SettingsSection {
  std::string name;  // between the brackets, blanks removed; "" for entries before any header
  int line = 0;      // line of the header; 0 for the part before any header
  std::vector<SettingsEntry> entries;
};

struct UnreadableLine {
  int line = 0;
  std::string text;  // the line, blanks around it removed
};

struct SettingsText {
  // In file order. The part before the first header is a section named "" and is listed
  // only when it holds entries.
  std::vector<SettingsSection> sections;
  // Lines that are neither blank, a comment (';' or '#'), a [section] header nor key=value.
  std::vector<UnreadableLine> unreadable_lines;
};

// Lines end with LF, CR LF or CR; a UTF-8 byte order mark at the start is skipped. An entry
// is split at its first '='. Names are kept as written: matching them is the caller's choice.
SettingsText Read_Settings_Text(std::string_view text);

// A plain integer: an optional sign and decimal digits only, within signed 32 bits.
std::optional<std::int32_t> Parse_Plain_Integer(std::string_view text);

// ASCII-only case-insensitive equality, as INI names are usually matched.
bool Same_Name_Ignoring_Case(std::string_view left, std::string_view right);

}  // namespace harvane_check
