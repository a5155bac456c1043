#include "check/settings_reader.h"

#include <limits>

namespace harvane_check {
namespace {

bool Is_Blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && Is_Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Is_Blank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The next line of `rest` without its line end; `rest` moves past the line end.
std::string_view Take_Line(std::string_view& rest) {
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != '\n' && rest[end] != '\r') ++end;
  const std::string_view line = rest.substr(0, end);
  if (end < rest.size()) {
    const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
    end += crlf ? 2 : 1;
  }
  rest.remove_prefix(end);
  return line;
}

}  // namespace

SettingsText Read_Settings_Text(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());

  SettingsText settings;
  SettingsSection current;  // the part before any header
  bool current_is_header = false;
  auto close_current = [&] {
    if (current_is_header || !current.entries.empty()) settings.sections.push_back(std::move(current));
  };

  int line_number = 0;
  std::string_view rest = text;
  while (!rest.empty()) {
    ++line_number;
    const std::string_view line = Trimmed(Take_Line(rest));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      close_current();
      current = SettingsSection{};
      current.name = std::string(Trimmed(line.substr(1, line.size() - 2)));
      current.line = line_number;
      current_is_header = true;
      continue;
    }
    const std::size_t equals = line.find('=');
    const std::string_view key = equals == std::string_view::npos ? std::string_view() : Trimmed(line.substr(0, equals));
    if (key.empty()) {
      settings.unreadable_lines.push_back({line_number, std::string(line)});
      continue;
    }
    current.entries.push_back({std::string(key), std::string(Trimmed(line.substr(equals + 1))), line_number});
  }
  close_current();
  return settings;
}

std::optional<std::int32_t> Parse_Plain_Integer(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Accumulated as a negative number, which holds the one value more that int32 has below 0.
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 - (c - '0');
    if (value < kLowest) return std::nullopt;
  }
  if (!negative) {
    value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

bool Same_Name_Ignoring_Case(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (Lower(left[i]) != Lower(right[i])) return false;
  }
  return true;
}

}  // namespace harvane_check
