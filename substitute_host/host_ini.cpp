#include "host_ini.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace substitute_host {
namespace {

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

}  // namespace

HostIniFile HostIniFile::Read_From_Data_Folder(const std::string& file_name) {
  HostIniFile file;
  std::ifstream in("data/" + file_name);
  std::string line, section;
  while (std::getline(in, line)) {
    line = Trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Lowered(Trimmed(line.substr(1, line.size() - 2)));
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    auto& entries = file.sections_[section];
    const std::string key = Lowered(Trimmed(line.substr(0, equals)));
    if (!entries.count(key)) entries[key] = Trimmed(line.substr(equals + 1));
  }
  return file;
}

std::int32_t HostIniFile::Get_Int(const std::string& section, const std::string& key,
                                  std::int32_t default_value) const {
  const auto in_section = sections_.find(Lowered(section));
  if (in_section == sections_.end()) return default_value;
  const auto value = in_section->second.find(Lowered(key));
  if (value == in_section->second.end()) return default_value;
  return static_cast<std::int32_t>(std::strtol(value->second.c_str(), nullptr, 10));
}

bool Staged_Settings_Copy_Present() {
  struct stat status {};
  return ::stat("data/TEMPHarvane.ini", &status) == 0;
}

}  // namespace substitute_host
