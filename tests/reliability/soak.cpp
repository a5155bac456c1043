// The whole life of a long-running server: load, commands table, a great many level-loaded
// notices over all seventeen maps (each with 1 to 9 versions), unload. Checked on the way:
// every notice's console lines, every level file in data is the version the rotation says,
// no host block is gained or lost between the first notice and the last, every host block is
// back after unload, and (where the build has it) LeakSanitizer finds no leak.
//
//   reliability_soak [--notices N] [--seed S] [--folder-in DIR]
//
// The server folder is made in DIR (default /tmp); each notice's copy truncates and writes a
// file there, so the notices per second tell as much about that file system as about the
// plug-in. Prints notices per second, peak resident memory and the live host blocks; exits 1
// on the first thing found wrong.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "expected_catalogue.h"
#include "expected_console.h"
#include "file_bytes.h"
#include "output_capture.h"
#include "plugin_twin.h"
#include "server_folder.h"  // Version_Content
#include "substitute_host.h"

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_LEAK_CHECK 1
#endif
#endif
#ifdef SOAK_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace {

struct Options {
  long notices = 10000;
  unsigned long seed = 1;
  std::string folder_in = "/tmp";
};

bool Parse(int argc, char** argv, Options& options) {
  for (int at = 1; at < argc; ++at) {
    const bool has_value = at + 1 < argc;
    if (std::strcmp(argv[at], "--notices") == 0 && has_value) {
      options.notices = std::strtol(argv[++at], nullptr, 10);
    } else if (std::strcmp(argv[at], "--seed") == 0 && has_value) {
      options.seed = std::strtoul(argv[++at], nullptr, 10);
    } else if (std::strcmp(argv[at], "--folder-in") == 0 && has_value) {
      options.folder_in = argv[++at];
    } else {
      return false;
    }
  }
  return options.notices > 0;
}

std::string kept_folder;  // the server folder, kept for a look when the soak fails

// Written to standard error: standard output is the plug-in's console, captured.
[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "soak: FAILED: %s\n", what.c_str());
  if (!kept_folder.empty()) std::fprintf(stderr, "soak: the server folder is kept in %s\n", kept_folder.c_str());
  std::exit(1);
}

std::string First_Difference(const std::string& got, const std::string& expected) {
  std::size_t at = 0;
  while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
  const std::size_t from = at < 200 ? 0 : at - 200;
  return "console differs at byte " + std::to_string(at) + "\n--- expected from byte " + std::to_string(from) +
         ":\n" + expected.substr(from, 400) + "\n--- got:\n" + got.substr(from, 400);
}

// The server's folder, made in a chosen place and entered; removed again at the end.
class SoakFolder {
 public:
  explicit SoakFolder(const std::string& parent) {
    std::string pattern = parent + "/harvane-soak-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make a folder in " + parent);
    path_ = pattern;
    kept_folder = path_;
    if (::chdir(path_.c_str()) != 0 || ::mkdir("data", 0755) != 0) Fail("cannot lay out " + path_);
  }
  ~SoakFolder() {
    if (::chdir("/") == 0) {
      const std::string command = "rm -rf '" + path_ + "'";
      if (std::system(command.c_str()) != 0) std::fprintf(stderr, "soak: %s left behind\n", path_.c_str());
    }
  }
  SoakFolder(const SoakFolder&) = delete;
  SoakFolder& operator=(const SoakFolder&) = delete;

  const std::string& Path() const { return path_; }

  void Write(const std::string& relative, const std::string& content) const {
    const auto slash = relative.rfind('/');
    if (slash != std::string::npos) ::mkdir(relative.substr(0, slash).c_str(), 0755);
    std::FILE* file = std::fopen(relative.c_str(), "wb");
    if (file == nullptr || std::fwrite(content.data(), 1, content.size(), file) != content.size()) {
      Fail("cannot write " + relative);
    }
    std::fclose(file);
  }

  std::string Read(const std::string& relative) const { return File_Bytes(relative); }

  bool Exists(const std::string& relative) const {
    struct stat status {};
    return ::stat(relative.c_str(), &status) == 0;
  }

 private:
  std::string path_;
};

// Counts 1 to 9 spread over the rows, every value present: 1 5 9 4 8 3 7 2 6 1 5 9 ...
int Count_Of(std::size_t row) { return 1 + static_cast<int>(row * 4 % 9); }

std::uint64_t Next_Random(std::uint64_t& state) {
  state = state * 6364136223846793005u + 1442695040888963407u;
  return state >> 33;
}

long Peak_Resident_Kilobytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [--notices N] [--seed S]\n", argv[0]);
    return 2;
  }

  const SoakFolder folder(options.folder_in);
  std::string settings = "[General]\n";
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    const ExpectedRow& map = kExpectedCatalogue[row];
    settings += std::string(map.key) + "=" + std::to_string(Count_Of(row)) + "\n";
    for (int version = 1; version <= Count_Of(row); ++version) {
      folder.Write(Version_File(map, version), Version_Content(map.key, version));
    }
  }
  folder.Write("Harvane.ini", settings);
  const std::string settings_text = folder.Read("Harvane.ini");

  substitute_host::Map_Host_Image(substitute_host::Layout{{0}, 0});
  substitute_host::HostRecords records;
  records.Set_Log_Switches(true, true);
  records.Set_Log_File_Stem("gamelog");
  void* extension_library =
      substitute_host::Open_Extension_Library(std::string(HARVANE_EXTENSION_STAND_IN_DIR) + "/bhs-all.so");

  std::size_t live_at_attach = 0, live_after_first = 0, live_after_last = 0;
  double seconds = 0;
  {
    OutputCapture console(stdout);
    substitute_host::PluginTwin twin(HARVANE_TWIN_LIBRARY);
    live_at_attach = substitute_host::Allocator_Report().live_blocks;
    if (!twin.Check_Version(records)) Fail("the version query answered false");
    twin.Plugin_Load(extension_library, records);
    if (!twin.Set_Script_Commands(records)) Fail("the commands table was refused");

    std::string expected = kNoticeLine;
    std::string staging;
    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      expected += Count_Line(kExpectedCatalogue[row], Count_Of(row));
      staging += Staged(kExpectedCatalogue[row]);
    }
    expected += kStagingOpening + staging;
    std::string got = console.Take();
    if (got != expected) Fail(First_Difference(got, expected));

    int cursor[kExpectedRows];
    for (int& value : cursor) value = 1;
    std::uint64_t random = options.seed;
    constexpr long kCheckEvery = 1000;
    expected.clear();
    const auto started = std::chrono::steady_clock::now();
    for (long notice = 1; notice <= options.notices; ++notice) {
      const auto row = static_cast<std::size_t>(Next_Random(random) % kExpectedRows);
      const ExpectedRow& map = kExpectedCatalogue[row];
      substitute_host::Set_Loaded_Map(map.map_file_name);
      twin.Level_Loaded();
      if (Count_Of(row) >= 2) {
        cursor[row] = cursor[row] >= Count_Of(row) ? 1 : cursor[row] + 1;
        expected += Rotated(map, cursor[row]);
        if (folder.Read(Data_File(map)) != Version_Content(map.key, cursor[row])) {
          Fail("notice " + std::to_string(notice) + ": " + Data_File(map) + " is not version " +
               std::to_string(cursor[row]));
        }
      }
      if (notice == 1) live_after_first = substitute_host::Allocator_Report().live_blocks;
      if (notice % kCheckEvery == 0 || notice == options.notices) {
        got = console.Take();
        if (got != expected) Fail("by notice " + std::to_string(notice) + ": " + First_Difference(got, expected));
        expected.clear();
      }
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    live_after_last = substitute_host::Allocator_Report().live_blocks;

    for (std::size_t row = 0; row < kExpectedRows; ++row) {
      const ExpectedRow& map = kExpectedCatalogue[row];
      if (folder.Read(Data_File(map)) != Version_Content(map.key, cursor[row])) {
        Fail("at the end " + Data_File(map) + " is not version " + std::to_string(cursor[row]));
      }
      for (int version = 1; version <= Count_Of(row); ++version) {
        if (folder.Read(Version_File(map, version)) != Version_Content(map.key, version)) {
          Fail("the administrator's " + Version_File(map, version) + " changed");
        }
      }
    }
    if (folder.Read("Harvane.ini") != settings_text) Fail("the settings file changed");

    twin.Unload();
    got = console.Take();
    if (!got.empty()) Fail("unload printed: " + got);
  }
  if (folder.Exists("data/TEMPHarvane.ini")) Fail("the staged settings copy outlived unload");
  const substitute_host::AllocatorReport host = substitute_host::Allocator_Report();
  if (live_after_first != live_after_last) {
    Fail("live host blocks after the first notice " + std::to_string(live_after_first) + ", after the last " +
         std::to_string(live_after_last));
  }
  if (host.live_blocks != live_at_attach) {
    Fail("live host blocks at attach " + std::to_string(live_at_attach) + ", after unload " +
         std::to_string(host.live_blocks));
  }
  if (host.foreign_releases != 0) Fail(std::to_string(host.foreign_releases) + " blocks released to the wrong family");

  const char* leak_check = "not in this build (no AddressSanitizer)";
#ifdef SOAK_LEAK_CHECK
  if (__lsan_do_recoverable_leak_check() != 0) Fail("LeakSanitizer found leaks (report above)");
  leak_check = "no leaks";
#endif

  std::printf("soak: %ld notices over %zu maps in %.2f s: %.0f notices/s (server folder in %s)\n", options.notices,
              kExpectedRows, seconds, static_cast<double>(options.notices) / seconds, options.folder_in.c_str());
  std::printf("soak: peak resident memory %ld KiB\n", Peak_Resident_Kilobytes());
  std::printf("soak: live host blocks at attach %zu, after the first notice %zu, after the last %zu, after unload %zu\n",
              live_at_attach, live_after_first, live_after_last, host.live_blocks);
  std::printf("soak: host allocations %zu, releases %zu, released to the wrong family %zu\n", host.allocations,
              host.releases, host.foreign_releases);
  std::printf("soak: LeakSanitizer: %s\n", leak_check);
  return 0;
}
