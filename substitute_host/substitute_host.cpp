#include "substitute_host.h"

#include "host/host_routines.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

namespace substitute_host {
namespace {

// ---- the host's own facts: where each build keeps its routines ----
struct BuildAddresses {
  std::int32_t build;
  std::uintptr_t probe;
  std::uintptr_t allocate;
  std::uintptr_t allocate_array;
  std::uintptr_t free;
  std::uintptr_t free_array;
  std::uintptr_t sse_flag;
  std::uintptr_t get_game_data;
  std::uintptr_t get_ini;
  std::uintptr_t release_ini;
  std::uintptr_t ini_get_int;
};

constexpr BuildAddresses kBuilds[] = {
    {0, 0x78CE49, 0x672B70, 0x672B70, 0x672C80, 0x672C80, 0x84F702, 0x477CA0, 0x6DAB30, 0x6DABE0, 0x5E10B0},
    {1, 0x78C6E9, 0x672410, 0x672410, 0x672520, 0x672520, 0x84E8EA, 0x477370, 0x6DA3D0, 0x6DA480, 0x5E0950},
    {4, 0x78790C, 0x7A783D, 0x7A783D, 0x7A7866, 0x7A7866, 0, 0, 0, 0, 0},
};

constexpr unsigned char kSignature[19] = {0x6A, 0x40, 0xFF, 0x74, 0x24, 0x0C, 0xFF, 0x74, 0x24, 0x0C,
                                          0xE8, 0xC0, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x0C, 0xC3};

const BuildAddresses& Build(std::int32_t build) {
  for (const BuildAddresses& known : kBuilds) {
    if (known.build == build) return known;
  }
  throw std::invalid_argument("substitute host: no build " + std::to_string(build));
}

// ---- allocator ----
AllocatorReport allocator;
std::map<void*, std::size_t> live;
std::size_t null_from = 0, null_count = 0;
bool null_always = false;

bool Should_Yield_Null() {
  const std::size_t nth = allocator.allocations;  // already counted
  if (null_always) return true;
  if (null_from == 0 || nth < null_from) return false;
  return null_count == 0 || nth < null_from + null_count;
}

void* Host_Allocate(std::size_t size) {
  ++allocator.allocations;
  allocator.requested_sizes.push_back(size);
  if (Should_Yield_Null()) {
    ++allocator.null_results;
    return nullptr;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  live[block] = size;
  allocator.live_blocks = live.size();
  return block;
}

void Host_Free(void* block) {
  if (block == nullptr) {
    ++allocator.null_releases;
    return;
  }
  auto found = live.find(block);
  if (found == live.end()) {
    ++allocator.foreign_releases;
    std::fprintf(stderr, "substitute host: block %p released to the host's allocator that it never gave out\n",
                 block);
    return;  // not ours: leave it alone rather than corrupt another heap
  }
  live.erase(found);
  ++allocator.releases;
  allocator.live_blocks = live.size();
  std::free(block);
}

// ---- game data ----
struct GameData {
  unsigned char bytes[0x28 + sizeof(const char*)];
} game_data;
std::string loaded_map;
bool map_named = false;
bool game_data_missing = false;
std::size_t game_data_calls = 0;

void* Get_Game_Data() {
  ++game_data_calls;
  if (game_data_missing) return nullptr;
  const char* name = map_named ? loaded_map.c_str() : nullptr;
  std::memcpy(game_data.bytes + 0x28, &name, sizeof name);
  return &game_data;
}

// ---- INI service ----
struct IniFile {
  std::map<std::string, std::map<std::string, std::string>> sections;  // lower-cased names
};
bool ini_yields_null = false;
std::vector<IniEvent> ini_events;
std::size_t open_handles = 0;

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const auto end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool Staged_Copy_Present() {
  struct stat status {};
  return ::stat("data/TEMPHarvane.ini", &status) == 0;
}

IniFile* Parse_Ini(const std::string& path) {
  auto* file = new IniFile;
  std::ifstream in(path);
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
    auto& entries = file->sections[section];
    const std::string key = Lowered(Trimmed(line.substr(0, equals)));
    if (!entries.count(key)) entries[key] = Trimmed(line.substr(equals + 1));
  }
  return file;
}

void* Host_Get_INI(const char* file_name) {
  ini_events.push_back({std::string("open ") + file_name, Staged_Copy_Present()});
  if (ini_yields_null) return nullptr;
  ++open_handles;
  // A missing file still gives a usable, empty object, as the host does.
  return Parse_Ini(std::string("data/") + file_name);
}

void Host_Release_INI(void* ini) {
  ini_events.push_back({"release", Staged_Copy_Present()});
  --open_handles;
  delete static_cast<IniFile*>(ini);
}

// A member routine of the INI object in the host: thiscall on 32-bit x86.
std::int32_t HOST_THISCALL Host_INI_Get_Int(void* ini, const char* section, const char* key,
                                            std::int32_t default_value) {
  const auto* file = static_cast<const IniFile*>(ini);
  const auto found_section = file->sections.find(Lowered(section));
  if (found_section == file->sections.end()) return default_value;
  const auto found_key = found_section->second.find(Lowered(key));
  if (found_key == found_section->second.end()) return default_value;
  return static_cast<std::int32_t>(std::strtol(found_key->second.c_str(), nullptr, 10));
}

// ---- the image ----
bool mapped = false;

void Write_Jump(std::uintptr_t at, const void* target) {
  auto* code = reinterpret_cast<unsigned char*>(at);
  const auto destination = reinterpret_cast<std::uintptr_t>(target);
#if defined(__x86_64__)
  code[0] = 0x48;  // movabs rax, destination
  code[1] = 0xB8;
  std::memcpy(code + 2, &destination, 8);
  code[10] = 0xFF;  // jmp rax
  code[11] = 0xE0;
#elif defined(__i386__)
  code[0] = 0xB8;  // mov eax, destination (eax is free at a call's entry; ecx may hold `this`)
  std::memcpy(code + 1, &destination, 4);
  code[5] = 0xFF;  // jmp eax
  code[6] = 0xE0;
#else
#error "the substitute host lays out x86 code only"
#endif
}

// The routines laid out must have the signatures the plug-in calls them with.
[[maybe_unused]] const HostAllocateRoutine kAllocate = &Host_Allocate;
[[maybe_unused]] const HostFreeRoutine kFree = &Host_Free;
[[maybe_unused]] const GetGameDataRoutine kGetGameData = &Get_Game_Data;
[[maybe_unused]] const HostGetIniRoutine kGetIni = &Host_Get_INI;
[[maybe_unused]] const HostReleaseIniRoutine kReleaseIni = &Host_Release_INI;
[[maybe_unused]] const HostIniGetIntRoutine kIniGetInt = &Host_INI_Get_Int;

void Place_Routines(const BuildAddresses& build) {
  Write_Jump(build.allocate, reinterpret_cast<const void*>(&Host_Allocate));
  if (build.allocate_array != build.allocate) Write_Jump(build.allocate_array, reinterpret_cast<const void*>(&Host_Allocate));
  Write_Jump(build.free, reinterpret_cast<const void*>(&Host_Free));
  if (build.free_array != build.free) Write_Jump(build.free_array, reinterpret_cast<const void*>(&Host_Free));
  if (build.get_game_data) Write_Jump(build.get_game_data, reinterpret_cast<const void*>(&Get_Game_Data));
  if (build.get_ini) Write_Jump(build.get_ini, reinterpret_cast<const void*>(&Host_Get_INI));
  if (build.release_ini) Write_Jump(build.release_ini, reinterpret_cast<const void*>(&Host_Release_INI));
  if (build.ini_get_int) Write_Jump(build.ini_get_int, reinterpret_cast<const void*>(&Host_INI_Get_Int));
}

}  // namespace

void Map_Host_Image(const Layout& layout) {
  void* image = ::mmap(reinterpret_cast<void*>(kImageBegin), kImageEnd - kImageBegin,
                       PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (image != reinterpret_cast<void*>(kImageBegin)) {
    std::fprintf(stderr, "substitute host: cannot map the host image at 0x%lx: %s\n",
                 static_cast<unsigned long>(kImageBegin), std::strerror(errno));
    std::abort();
  }
  mapped = true;
  // Fill with int3 so a call to an address we did not lay out traps at once.
  std::memset(image, 0xCC, kImageEnd - kImageBegin);
  for (const BuildAddresses& build : kBuilds) {
    Place_Routines(build);
    if (build.sse_flag) *reinterpret_cast<unsigned char*>(build.sse_flag) = layout.sse_flag;
  }
  for (std::int32_t build : layout.signature_builds) Set_Signature(build, true);
}

void Set_Signature(std::int32_t build, bool present) {
  if (!mapped) std::abort();
  auto* at = reinterpret_cast<unsigned char*>(Build(build).probe);
  if (present) {
    std::memcpy(at, kSignature, sizeof kSignature);
  } else {
    std::memset(at, 0xCC, sizeof kSignature);
  }
}

std::uintptr_t Probe_Address(std::int32_t build) { return Build(build).probe; }
std::uintptr_t Sse_Flag_Address(std::int32_t build) { return Build(build).sse_flag; }

AllocatorReport Allocator_Report() { return allocator; }
void Yield_Null_From(std::size_t nth, std::size_t count) {
  null_from = nth;
  null_count = count;
}
void Yield_Null_Always() { null_always = true; }

void Set_Loaded_Map(const char* map_file_name) {
  map_named = map_file_name != nullptr;
  loaded_map = map_named ? map_file_name : "";
}
void Set_Game_Data_Missing(bool missing) { game_data_missing = missing; }
std::size_t Game_Data_Calls() { return game_data_calls; }

void Set_Ini_Yields_Null(bool yields_null) { ini_yields_null = yields_null; }
std::vector<IniEvent> Ini_Events() { return ini_events; }
std::size_t Open_Ini_Handles() { return open_handles; }

}  // namespace substitute_host
