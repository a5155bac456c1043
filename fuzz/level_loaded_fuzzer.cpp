// The level-loaded notice, fed anything: map names of any bytes and any length (empty and
// none included), version counts of any value (INT_MIN, INT_MAX, negatives), commands tables
// that reload them in between (with the host allocator answering null on request), unloads,
// and the cursor arithmetic at any position. The plug-in runs in this process against the
// substitute host; its state lives on from input to input, as in a server that runs for
// months, so cursors wander far past the counts that later inputs set.
//
// Every input is checked against a model of the rotation: the console, byte for byte; each
// level file in data; each cursor; the host's blocks (none gained, none lost, none returned
// that the host never gave).
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "expected_catalogue.h"
#include "expected_console.h"
#include "expected_game_log.h"
#include "file_bytes.h"
#include "fuzz_input.h"
#include "host/host_binding.h"
#include "plugin_twin.h"
#include "rotation/level_rotation.h"
#include "rotation/map_catalogue.h"
#include "server_folder.h"  // Version_Content
#include "shell/plugin_exports.h"
#include "substitute_host.h"

namespace {

// Versions 1 to kVersionsOnDisk of every map lie in the server folder; higher ones do not.
constexpr int kVersionsOnDisk = 9;
constexpr int kFolderMissing = 3;

// ---- the server folder (on a memory file system where there is one) ----
std::string server_folder;

void Write_File(const std::string& path, const std::string& content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr, "cannot write %s", path.c_str());
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

void Remove_Server_Folder() {
  if (server_folder.empty() || ::chdir("/") != 0) return;
  const std::string command = "rm -rf '" + server_folder + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "%s left behind\n", server_folder.c_str());
}

void Lay_Out_Server_Folder() {
  struct stat status {};
  std::string pattern = (::stat("/dev/shm", &status) == 0 ? "/dev/shm" : "/tmp");
  pattern += "/harvane-fuzz-XXXXXX";
  FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr, "no server folder");
  server_folder = pattern;
  std::atexit(Remove_Server_Folder);
  FUZZ_CHECK(::chdir(server_folder.c_str()) == 0 && ::mkdir("data", 0755) == 0, "cannot lay out %s",
             server_folder.c_str());
  for (const ExpectedRow& map : kExpectedCatalogue) {
    for (int version = 1; version <= kVersionsOnDisk; ++version) {
      ::mkdir(Version_Folder(map, version).c_str(), 0755);
      Write_File(Version_File(map, version), Version_Content(map.key, version));
    }
  }
}

// ---- the console: standard output goes to a memory file, read back after each input ----
int console_fd = -1;

void Capture_Console() {
  console_fd = ::memfd_create("console", 0);
  FUZZ_CHECK(console_fd >= 0, "no memory file for the console");
  std::fflush(stdout);
  FUZZ_CHECK(::dup2(console_fd, STDOUT_FILENO) == STDOUT_FILENO, "cannot capture the console");
}

void Clear_Console() {
  std::fflush(stdout);
  FUZZ_CHECK(::ftruncate(console_fd, 0) == 0 && ::lseek(console_fd, 0, SEEK_SET) == 0, "cannot clear the console");
}

std::string Console_Text() {
  std::fflush(stdout);
  std::string text;
  char buffer[4096];
  ssize_t got;
  for (off_t at = 0; (got = ::pread(console_fd, buffer, sizeof buffer, at)) > 0; at += got) {
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

// ---- the host's side ----
substitute_host::HostRecords* records = nullptr;
std::size_t blocks_without_settings = 0;

// ---- the model ----
struct Model {
  bool settings = false;  // a settings object exists
  std::int32_t counts[kExpectedRows] = {};
  std::int32_t cursors[kExpectedRows] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  std::string data[kExpectedRows];  // what each level file in data holds ("" before its first copy)
} model;

std::string console_expected;

// Log switches as the host record holds them, and where the log goes.
enum class LogMode { Off, WriteAndEcho, EchoToMissingFolder, WriteOnly };

void Commands_Table(FuzzInput& input) {
  const std::uint8_t flags = input.Byte();
  const auto log_mode = static_cast<LogMode>(flags & 3);
  const unsigned null_at = (flags >> 2) & 3;  // 0: none; else that allocation of the table answers null
  std::int32_t counts[kExpectedRows] = {};
  std::string settings = "[General]\n";
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    const std::uint8_t choice = input.Byte() % 8;
    switch (choice) {
      case 0: continue;  // the key is absent: 0
      case 1: counts[row] = INT32_MIN; break;
      case 2: counts[row] = INT32_MAX; break;
      case 3: counts[row] = -1; break;
      case 4: counts[row] = 0; break;
      case 5: counts[row] = 1 + input.Byte() % kVersionsOnDisk; break;
      case 6: counts[row] = 2 + input.Byte() % 3; break;
      default: counts[row] = input.Int32(); break;
    }
    settings += std::string(kExpectedCatalogue[row].key) + "=" + std::to_string(counts[row]) + "\n";
  }
  Write_File("Harvane.ini", settings);

  records->Set_Log_Switches(log_mode == LogMode::WriteAndEcho || log_mode == LogMode::EchoToMissingFolder ||
                                log_mode == LogMode::WriteOnly,
                            log_mode != LogMode::WriteOnly);
  records->Set_Log_File_Stem(log_mode == LogMode::EchoToMissingFolder ? "no-such-folder/gamelog" : "gamelog");
  const substitute_host::AllocatorReport before = substitute_host::Allocator_Report();
  substitute_host::Yield_Null_After(null_at);
  records->command_table_cell = records->command_table;
  const bool accepted = Set_Script_Commands(&records->command_table_cell);
  substitute_host::Yield_Null_After(0);
  FUZZ_CHECK(accepted, "a table of size 816 and version 174 was refused");

  // A null answer to the settings object or either name leaves no settings object.
  model.settings = substitute_host::Allocator_Report().null_results == before.null_results;
  if (!model.settings) return;
  bool any_set = false;
  std::string count_lines, staging;
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    model.counts[row] = counts[row];
    any_set = any_set || counts[row] != 0;
    if (counts[row] > 0) {
      count_lines += Count_Line(kExpectedCatalogue[row], counts[row]);
      staging += Staged(kExpectedCatalogue[row]);
      model.data[row] = Version_Content(kExpectedCatalogue[row].key, 1);
    }
  }
  const bool echoed = log_mode == LogMode::WriteAndEcho || log_mode == LogMode::EchoToMissingFolder;
  console_expected += (any_set && echoed ? kNoticeLine : "") + count_lines + kStagingOpening + staging;
}

// What a notice for `name` must do, given the model.
void Expect_Notice(const char* name) {
  if (!model.settings || name == nullptr) return;
  std::size_t row = 0;
  while (row < kExpectedRows && std::string(kExpectedCatalogue[row].map_file_name) != name) ++row;
  if (row == kExpectedRows || model.counts[row] < 2) return;
  // The rule in wide arithmetic: the cursor moves on by one and wraps to 1 past the count.
  const std::int64_t next = static_cast<std::int64_t>(model.cursors[row]) + 1;
  model.cursors[row] = next > model.counts[row] ? 1 : static_cast<std::int32_t>(next);
  const int version = model.cursors[row];
  console_expected += Announced(kExpectedCatalogue[row]);
  if (version <= kVersionsOnDisk) {
    console_expected += Copied_From(kExpectedCatalogue[row], version);
    model.data[row] = Version_Content(kExpectedCatalogue[row].key, version);
  } else {
    console_expected += Failed_Copy(kFolderMissing);
  }
}

void Notice(const char* name) {
  substitute_host::Set_Loaded_Map(name);
  SSGM_Level_Loaded_Hook();
  Expect_Notice(name);
}

// A catalogue name, a little wrong: shortened, lengthened, one letter's case turned, prefixed.
std::string Near_Miss(FuzzInput& input) {
  std::string name = kExpectedCatalogue[input.Byte() % kExpectedRows].map_file_name;
  const std::uint8_t how = input.Byte();
  const std::size_t at = input.Byte() % name.size();
  switch (how % 4) {
    case 0: name.resize(at); break;
    case 1: name += static_cast<char>(input.Byte() | 1); break;
    case 2: name[at] = static_cast<char>(name[at] ^ 0x20); break;
    default: name.insert(name.begin(), static_cast<char>(input.Byte() | 1)); break;
  }
  return name;
}

// The cursor arithmetic and the source path at any position, beyond what notices reach.
void Cursor_Arithmetic(FuzzInput& input) {
  const std::int32_t cursor = input.Int32();
  const std::int32_t count = input.Int32();
  const std::int32_t next = Advanced_Version(cursor, count);
  const std::int64_t wide = static_cast<std::int64_t>(cursor) + 1;
  const std::int32_t expected = wide > count ? 1 : static_cast<std::int32_t>(wide);
  FUZZ_CHECK(next == expected, "cursor %" PRId32 " count %" PRId32 ": got %" PRId32 ", expected %" PRId32, cursor,
             count, next, expected);
  const std::size_t row = input.Byte() % kExpectedRows;
  const int version = input.Byte() & 1 ? next : cursor;
  char path[kSourcePathBufferSize];
  std::memset(path, 0x7F, sizeof path);
  Format_Version_Source_Path(MapCatalogue[row], version, path);
  const std::string whole = Source_Path(kExpectedCatalogue[row], version);
  FUZZ_CHECK(whole.size() < sizeof path && whole == path, "row %zu version %d: path \"%s\", expected \"%s\"", row,
             version, path, whole.c_str());
}

void Check_State() {
  const std::string console = Console_Text();
  FUZZ_CHECK(console == console_expected, "console:\n%s\n--- expected:\n%s", console.c_str(), console_expected.c_str());
  for (std::size_t row = 0; row < kExpectedRows; ++row) {
    FUZZ_CHECK(Next_Version(row) == model.cursors[row], "row %zu: cursor %" PRId32 ", expected %" PRId32, row,
               Next_Version(row), model.cursors[row]);
    const std::string data = File_Bytes(Data_File(kExpectedCatalogue[row]));
    FUZZ_CHECK(data == model.data[row], "%s holds \"%s\", expected \"%s\"", Data_File(kExpectedCatalogue[row]).c_str(),
               data.c_str(), model.data[row].c_str());
  }
  const substitute_host::AllocatorReport host = substitute_host::Allocator_Report();
  FUZZ_CHECK(host.foreign_releases == 0, "%zu blocks released to the host that it never gave", host.foreign_releases);
  // The settings object and its two names, while it exists; nothing else stays.
  const std::size_t expected_live = blocks_without_settings + (model.settings ? 3 : 0);
  FUZZ_CHECK(host.live_blocks == expected_live, "%zu live host blocks, expected %zu", host.live_blocks, expected_live);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Lay_Out_Server_Folder();
  substitute_host::Map_Host_Image(substitute_host::Layout{{0}, 0});
  substitute_host::Record_Requested_Sizes(false);  // millions of requests: counts only
  DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  blocks_without_settings = substitute_host::Allocator_Report().live_blocks;
  records = new substitute_host::HostRecords;
  void* extension_library = ::dlopen(HARVANE_EXTENSION_STAND_IN_DIR "/bhs-all.so", RTLD_NOW | RTLD_LOCAL);
  FUZZ_CHECK(extension_library != nullptr, "no extension library: %s", ::dlerror());
  Capture_Console();
  SSGM_Check_Version(nullptr, records->plugin_info);
  SSGM_Plugin_Load(extension_library, records->host_settings, nullptr, nullptr, records->plugin_info);
  FUZZ_CHECK(Console_Text().empty(), "the load printed something");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  Clear_Console();
  console_expected.clear();
  ::unlink(Today_Log_File("gamelog").c_str());
  for (int step = 0; step < 64 && !input.Empty(); ++step) {
    switch (input.Byte() % 8) {
      case 0: Commands_Table(input); break;
      case 1: case 2: Notice(kExpectedCatalogue[input.Byte() % kExpectedRows].map_file_name); break;
      case 3: {
        const std::string name = input.Bytes(input.Uint16() % 600);
        Notice(name.c_str());  // up to its first zero byte, as the host's text ends there
        break;
      }
      case 4: Notice(Near_Miss(input).c_str()); break;
      case 5:
        if (input.Byte() & 1) {
          Notice(nullptr);
        } else {
          substitute_host::Set_Game_Data_Missing(true);
          SSGM_Level_Loaded_Hook();
          substitute_host::Set_Game_Data_Missing(false);
        }
        break;
      case 6:
        SSGM_Plugin_Unload();
        model.settings = false;
        break;
      default: Cursor_Arithmetic(input); break;
    }
  }
  Check_State();
  return 0;
}
