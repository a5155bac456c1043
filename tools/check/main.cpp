// harvane-check [--plan N] [SERVER_DIR]: checks a server folder's Harvane.ini, data folder
// and version folders before the server starts. Exit status: 0 all well, 1 warnings only,
// 2 errors (or a command line that cannot be followed).
#include <cstdio>
#include <string>

#include "check/file_system.h"
#include "check/report.h"
#include "check/server_check.h"
#include "check/settings_reader.h"

namespace {

constexpr int kMostPlays = 1000;

const char kUsage[] =
    "Usage: harvane-check [--plan N] [SERVER_DIR]\n"
    "Checks the server folder SERVER_DIR (default: the current folder) for the Harvane plug-in:\n"
    "Harvane.ini, the data folder and the level file of every configured map version.\n"
    "  --plan N   also list, per configured map, the versions its next N plays load (1 to 1000)\n"
    "  --help     show this text\n"
    "Exit status: 0 all well, 1 warnings only, 2 errors.\n";

int Usage_Error(const std::string& message) {
  std::fprintf(stderr, "harvane-check: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  bool folder_given = false;
  int plays = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--plan" || argument.rfind("--plan=", 0) == 0) {
      std::string value;
      if (argument == "--plan") {
        if (i + 1 >= argc) return Usage_Error("--plan needs a number of plays");
        value = argv[++i];
      } else {
        value = argument.substr(7);
      }
      const auto parsed = harvane_check::Parse_Plain_Integer(value);
      if (!parsed || *parsed < 1 || *parsed > kMostPlays) {
        return Usage_Error("--plan takes a number of plays from 1 to " + std::to_string(kMostPlays) + ", not \"" + value + "\"");
      }
      plays = *parsed;
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') return Usage_Error("unknown option " + argument);
    if (folder_given) return Usage_Error("one server folder at most, not both " + folder + " and " + argument);
    folder = argument;
    folder_given = true;
  }
  if (!folder_given) folder = ".";
  if (harvane_check::Kind_Of(folder) != harvane_check::PathKind::Folder) {
    std::fprintf(stderr, "harvane-check: %s is not a folder\n", folder.c_str());
    return 2;
  }
  const harvane_check::ServerReport report = harvane_check::Check_Server_Folder(folder);
  std::fputs(harvane_check::Format_Report(report, plays).c_str(), stdout);
  std::fflush(stdout);
  return report.Exit_Status();
}
