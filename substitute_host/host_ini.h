// The host's INI service as a stand-in plays it: the named file is looked for in data/,
// read in the usual [section] / key=value form; section and key names match whatever their
// letter case, the first of two equal keys counts, a value is read as a decimal integer.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace substitute_host {

class HostIniFile {
 public:
  // A missing file gives a usable, empty object, as the host does.
  static HostIniFile Read_From_Data_Folder(const std::string& file_name);
  std::int32_t Get_Int(const std::string& section, const std::string& key, std::int32_t default_value) const;

 private:
  std::map<std::string, std::map<std::string, std::string>> sections_;  // lower-cased names
};

// Whether the plug-in's staged settings copy lies in data/ now.
bool Staged_Settings_Copy_Present();

}  // namespace substitute_host
