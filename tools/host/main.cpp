// harvane-host: a simulated server run. Maps the substitute host image for a chosen build,
// loads the plug-in's Linux twin and makes the server's calls in a server folder, one
// level-loaded notice per play; the plug-in's console output appears as on the server
// console, between lines of the host's own that start with "[host]".
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/host_options.h"
#include "plugin_twin.h"
#include "rotation/map_catalogue.h"
#include "substitute_host.h"

namespace {

using harvane_host::HostOptions;

constexpr std::size_t kPluginNameOffset = 4;
constexpr std::size_t kPluginVersionOffset = 36;
constexpr std::size_t kHostVersionOffset = 64;

bool quiet = false;

// A line of the host's own; the plug-in's output is flushed first so the two keep order.
void Say(const std::string& text) {
  if (quiet) return;
  std::fflush(stdout);
  std::printf("[host] %s\n", text.c_str());
  std::fflush(stdout);
}

int Refuse(const std::string& message) {
  std::fprintf(stderr, "harvane-host: %s\n", message.c_str());
  return 2;
}

bool Is_Folder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Is_File(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool Read_Text(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string Extension_Library_Path(const std::string& choice) {
  if (choice.find('/') != std::string::npos) return choice;
  return std::string(HARVANE_EXTENSION_STAND_IN_DIR) + "/bhs-" + (choice.empty() ? "all" : choice) + ".so";
}

// What a level file in data says of itself: its first line when that is short plain text
// (as the example's placeholders), else its size.
std::string Describe_Level_File(const std::string& path) {
  std::string content;
  if (!Read_Text(path, content)) return "";
  const std::string first_line = content.substr(0, content.find('\n'));
  bool plain = !first_line.empty() && first_line.size() <= 100;
  for (char c : first_line) plain = plain && c >= 0x20 && c < 0x7F;
  return plain ? first_line : std::to_string(content.size()) + " bytes";
}

// `which`: "first" after the start-up staging, "next" after a play.
void Show_Data_Of(const MapEntry& map, const char* which) {
  const std::string path = std::string("data/") + map.level_file_name;
  const std::string description = Describe_Level_File(path);
  if (description.empty()) return;
  Say(std::string("  ") + which + " play of " + map.map_file_name + " loads " + path + ": " + description);
}

std::string Plugin_Info(const substitute_host::HostRecords& records, std::size_t offset) {
  return records.Plugin_Info_String(offset);
}

}  // namespace

int main(int argc, char** argv) {
  const harvane_host::ParsedOptions parsed = harvane_host::Parse_Host_Options({argv + 1, argv + argc});
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "harvane-host: %s\n%s", parsed.error.c_str(), harvane_host::kHostUsage);
    return 2;
  }
  const HostOptions& options = parsed.options;
  if (options.help) {
    std::fputs(harvane_host::kHostUsage, stdout);
    return 0;
  }
  quiet = options.quiet;

  // Everything named on the command line is found before the run enters the server folder.
  std::vector<std::string> plays;
  for (const harvane_host::PlaySource& source : options.plays) {
    if (source.kind == harvane_host::PlaySource::Kind::Map) {
      plays.push_back(source.text);
      continue;
    }
    std::string text;
    if (!Is_File(source.text) || !Read_Text(source.text, text)) return Refuse("cannot read the rotation list " + source.text);
    for (const std::string& map : harvane_host::Read_Rotation_List(text)) plays.push_back(map);
  }
  if (!Is_Folder(options.server_folder)) return Refuse("the server folder " + options.server_folder + " does not exist");
  const std::string plugin_library = options.plugin_library.empty() ? HARVANE_TWIN_LIBRARY : options.plugin_library;
  if (!Is_File(plugin_library)) return Refuse("no plug-in library at " + plugin_library);
  const std::string extension_library = Extension_Library_Path(options.extension_library);
  if (!Is_File(extension_library)) return Refuse("no extension library stand-in at " + extension_library);
  // The libraries are loaded after the run has entered the server folder.
  char here[4096];
  const std::string base = ::getcwd(here, sizeof here) ? std::string(here) + "/" : std::string();
  const std::string plugin_path = plugin_library[0] == '/' ? plugin_library : base + plugin_library;
  const std::string extension_path = extension_library[0] == '/' ? extension_library : base + extension_library;
  if (::chdir(options.server_folder.c_str()) != 0) return Refuse("cannot enter the server folder " + options.server_folder);

  Say("server folder: " + options.server_folder);
  substitute_host::Layout layout;
  if (options.build) layout.signature_builds.push_back(*options.build);
  layout.sse_flag = options.sse_flag ? 1 : 0;
  substitute_host::Map_Host_Image(layout);
  Say(options.build ? "host image mapped with the signature of build " + std::to_string(*options.build)
                    : std::string("host image mapped without a build signature"));

  substitute_host::HostRecords records;
  records.Set_Log_Switches(options.write_all_headers, options.echo_to_console);
  records.Set_Log_File_Stem(options.log_file_stem);

  Say("loading the plug-in: process attach");
  substitute_host::PluginTwin plugin(plugin_path);
  const bool version_accepted = plugin.Check_Version(records);
  Say(std::string("SSGM_Check_Version: ") + (version_accepted ? "true" : "false") + ", built for host " +
      Plugin_Info(records, kHostVersionOffset));
  plugin.Plugin_Load(substitute_host::Open_Extension_Library(extension_path), records);
  Say("SSGM_Plugin_Load: " + Plugin_Info(records, kPluginNameOffset) + " " + Plugin_Info(records, kPluginVersionOffset));

  Say("Set_Script_Commands: handing over the commands table");
  const bool commands_accepted = plugin.Set_Script_Commands(records);
  Say(std::string("Set_Script_Commands: ") + (commands_accepted ? "accepted" : "refused"));
  if (options.show_data) {
    for (const MapEntry& map : MapCatalogue) Show_Data_Of(map, "first");
  }

  int played = 0;
  for (int round = 0; round < options.repeat; ++round) {
    for (const std::string& map : plays) {
      substitute_host::Set_Loaded_Map(map.c_str());
      Say("level loaded: " + map);
      plugin.Level_Loaded();
      ++played;
      const int row = Find_Map_Row(map.c_str());
      if (options.show_data && row >= 0) Show_Data_Of(MapCatalogue[row], "next");
    }
  }

  plugin.Unload();
  Say("SSGM_Plugin_Unload: done after " + std::to_string(played) + (played == 1 ? " play" : " plays"));
  return 0;
}
