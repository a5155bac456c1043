#include "check/key_suggestion.h"

#include <algorithm>
#include <string>
#include <vector>

namespace harvane_check {
namespace {

bool Ends_With(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Lower case, without ".mix"/".ldd", a "c&c_" prefix, blanks, '_' and '-'.
std::string Normalised(std::string_view name) {
  std::string lowered;
  for (char c : name) lowered += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  for (std::string_view extension : {".mix", ".ldd"}) {
    if (Ends_With(lowered, extension)) lowered.resize(lowered.size() - extension.size());
  }
  if (lowered.rfind("c&c_", 0) == 0) lowered.erase(0, 4);
  std::string result;
  for (char c : lowered) {
    if (c != ' ' && c != '_' && c != '-' && c != '\t') result += c;
  }
  return result;
}

}  // namespace

int Typing_Distance(std::string_view left, std::string_view right) {
  // Optimal string alignment distance over three rows of the table.
  const std::size_t columns = right.size() + 1;
  std::vector<int> before_previous(columns), previous(columns), current(columns);
  for (std::size_t j = 0; j < columns; ++j) previous[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= left.size(); ++i) {
    current[0] = static_cast<int>(i);
    for (std::size_t j = 1; j < columns; ++j) {
      const int substitution = previous[j - 1] + (left[i - 1] == right[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
      if (i > 1 && j > 1 && left[i - 1] == right[j - 2] && left[i - 2] == right[j - 1]) {
        current[j] = std::min(current[j], before_previous[j - 2] + 1);
      }
    }
    before_previous.swap(previous);
    previous.swap(current);
  }
  return previous[right.size()];
}

const MapEntry* Nearest_Map_Key(std::string_view written) {
  const std::string wanted = Normalised(written);
  if (wanted.empty()) return nullptr;
  const int allowed = wanted.size() <= 4 ? 1 : 2;
  const MapEntry* nearest = nullptr;
  int nearest_distance = allowed + 1;
  for (const MapEntry& map : MapCatalogue) {
    for (const char* name : {map.key, map.display_name, map.map_file_name, map.level_file_name}) {
      const int distance = Typing_Distance(wanted, Normalised(name));
      if (distance < nearest_distance) {
        nearest = &map;
        nearest_distance = distance;
      }
    }
  }
  return nearest;
}

}  // namespace harvane_check
