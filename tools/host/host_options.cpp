#include "host/host_options.h"

#include <sstream>

namespace harvane_host {
namespace {

std::string Trimmed(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const auto end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool Read_Switch(const std::string& value, bool& on) {
  if (value == "on") {
    on = true;
  } else if (value == "off") {
    on = false;
  } else {
    return false;
  }
  return true;
}

}  // namespace

const char kHostUsage[] =
    "Usage: harvane-host [OPTION...] [SERVER_DIR]\n"
    "Plays the server's part for the Harvane plug-in's Linux twin in SERVER_DIR (default: the\n"
    "current folder): process attach, version query, load, commands table, one level-loaded\n"
    "notice per play, unload; the plug-in's console output is shown as the server shows it.\n"
    "  --play MAP               a level-loaded notice for map file MAP (as C&C_Complex.mix); repeatable\n"
    "  --rotation FILE          a notice for each map file named in FILE, one per line\n"
    "  --repeat N               run the whole list of plays N times (default 1)\n"
    "  --build 0|1|4|none       the host build whose signature the image carries (default 0)\n"
    "  --sse-flag on|off        the host's SSE flag byte (default off)\n"
    "  --write-all-headers on|off  the settings record's switch for all log headers (default on)\n"
    "  --echo-to-console on|off    the settings record's console echo switch (default on)\n"
    "  --log-stem STEM          the game log's file name stem (default gamelog)\n"
    "  --extension NAME|PATH    extension library stand-in: all, none, without-<export>..., or a path\n"
    "                           (default all)\n"
    "  --plugin PATH            the twin library (default: libHarvane.so of this build)\n"
    "  --show-data              after staging and after each play, show what data holds\n"
    "  --quiet                  show the plug-in's output only\n"
    "  --help                   show this text\n";

ParsedOptions Parse_Host_Options(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  HostOptions& options = parsed.options;
  bool folder_given = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) {
        parsed.error = argument + " needs a value";
        return false;
      }
      out = arguments[++i];
      return true;
    };
    std::string text;
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--quiet") {
      options.quiet = true;
    } else if (argument == "--show-data") {
      options.show_data = true;
    } else if (argument == "--play" || argument == "--rotation") {
      if (!value(text)) return parsed;
      if (text.empty()) {
        parsed.error = argument + " needs a non-empty value";
        return parsed;
      }
      options.plays.push_back({argument == "--play" ? PlaySource::Kind::Map : PlaySource::Kind::RotationFile, text});
    } else if (argument == "--repeat") {
      if (!value(text)) return parsed;
      std::size_t used = 0;
      int repeat = 0;
      try {
        repeat = std::stoi(text, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used != text.size() || text.empty() || repeat < 1 || repeat > 1000) {
        parsed.error = "--repeat takes a number from 1 to 1000, not \"" + text + "\"";
        return parsed;
      }
      options.repeat = repeat;
    } else if (argument == "--build") {
      if (!value(text)) return parsed;
      if (text == "0" || text == "1" || text == "4") {
        options.build = std::stoi(text);
      } else if (text == "none") {
        options.build.reset();
      } else {
        parsed.error = "--build takes 0, 1, 4 or none (the builds the substitute host can lay out), not \"" + text + "\"";
        return parsed;
      }
    } else if (argument == "--sse-flag" || argument == "--write-all-headers" || argument == "--echo-to-console") {
      if (!value(text)) return parsed;
      bool& target = argument == "--sse-flag"            ? options.sse_flag
                     : argument == "--write-all-headers" ? options.write_all_headers
                                                         : options.echo_to_console;
      if (!Read_Switch(text, target)) {
        parsed.error = argument + " takes on or off, not \"" + text + "\"";
        return parsed;
      }
    } else if (argument == "--log-stem") {
      if (!value(options.log_file_stem)) return parsed;
    } else if (argument == "--extension") {
      if (!value(options.extension_library)) return parsed;
    } else if (argument == "--plugin") {
      if (!value(options.plugin_library)) return parsed;
    } else if (argument.size() > 1 && argument[0] == '-') {
      parsed.error = "unknown option " + argument;
      return parsed;
    } else if (folder_given) {
      parsed.error = "one server folder at most, not both " + options.server_folder + " and " + argument;
      return parsed;
    } else {
      options.server_folder = argument;
      folder_given = true;
    }
  }
  return parsed;
}

std::vector<std::string> Read_Rotation_List(const std::string& text) {
  std::vector<std::string> maps;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    line = Trimmed(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    maps.push_back(line);
  }
  return maps;
}

}  // namespace harvane_host
