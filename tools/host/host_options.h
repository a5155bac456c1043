// The command line of harvane-host, read into what the simulated run needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace harvane_host {

struct PlaySource {
  enum class Kind { Map, RotationFile } kind;
  std::string text;  // a map file name, or the path of a rotation list
};

struct HostOptions {
  std::string server_folder = ".";
  std::optional<std::int32_t> build = 0;  // none: the image carries no build signature
  bool sse_flag = false;
  std::string plugin_library;     // empty: the twin built beside this program
  std::string extension_library;  // a stand-in name ("all", "none", "without-...") or a path
  bool write_all_headers = true;
  bool echo_to_console = true;
  std::string log_file_stem = "gamelog";
  std::vector<PlaySource> plays;  // in command-line order
  int repeat = 1;                 // how many times the whole list of plays is run
  bool quiet = false;             // the plug-in's console only, no lines of the host's own
  bool show_data = false;         // after staging and each play, what data holds
  bool help = false;
};

struct ParsedOptions {
  HostOptions options;
  std::string error;  // empty when the command line can be followed
};

ParsedOptions Parse_Host_Options(const std::vector<std::string>& arguments);

// The map file names of a rotation list: one per line; blank lines and lines starting with
// '#' or ';' are skipped; blanks around a name are dropped.
std::vector<std::string> Read_Rotation_List(const std::string& text);

extern const char kHostUsage[];

}  // namespace harvane_host
