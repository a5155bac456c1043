#include "substitute_host.h"

#include "host/host_routines.h"
#include "host_facts.h"
#include "host_ini.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <unordered_set>
#include <stdexcept>

namespace substitute_host {
namespace {

// ---- allocator ----
AllocatorReport allocator;
std::unordered_set<void*> live;
std::vector<std::size_t> requested_sizes;
bool record_requested_sizes = true;
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
  if (record_requested_sizes) requested_sizes.push_back(size);
  if (Should_Yield_Null()) {
    ++allocator.null_results;
    return nullptr;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  live.insert(block);
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
bool ini_yields_null = false;
std::vector<IniEvent> ini_events;
std::size_t open_handles = 0;

void* Host_Get_INI(const char* file_name) {
  ini_events.push_back({std::string("open ") + file_name, Staged_Settings_Copy_Present()});
  if (ini_yields_null) return nullptr;
  ++open_handles;
  return new HostIniFile(HostIniFile::Read_From_Data_Folder(file_name));
}

void Host_Release_INI(void* ini) {
  ini_events.push_back({"release", Staged_Settings_Copy_Present()});
  --open_handles;
  delete static_cast<HostIniFile*>(ini);
}

// A member routine of the INI object in the host: thiscall on 32-bit x86.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
std::int32_t HOST_THISCALL Host_INI_Get_Int(void* ini, const char* section, const char* key,
                                            std::int32_t default_value) {
  return static_cast<const HostIniFile*>(ini)->Get_Int(section, key, default_value);
}
#pragma GCC diagnostic pop

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

void Place_Routines(const HostBuildFacts& build) {
  Write_Jump(build.host_allocate, reinterpret_cast<const void*>(&Host_Allocate));
  if (build.host_allocate_array != build.host_allocate) Write_Jump(build.host_allocate_array, reinterpret_cast<const void*>(&Host_Allocate));
  Write_Jump(build.host_free, reinterpret_cast<const void*>(&Host_Free));
  if (build.host_free_array != build.host_free) Write_Jump(build.host_free_array, reinterpret_cast<const void*>(&Host_Free));
  if (build.get_game_data) Write_Jump(build.get_game_data, reinterpret_cast<const void*>(&Get_Game_Data));
  if (build.host_get_ini) Write_Jump(build.host_get_ini, reinterpret_cast<const void*>(&Host_Get_INI));
  if (build.host_release_ini) Write_Jump(build.host_release_ini, reinterpret_cast<const void*>(&Host_Release_INI));
  if (build.host_ini_get_int) Write_Jump(build.host_ini_get_int, reinterpret_cast<const void*>(&Host_INI_Get_Int));
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
  for (const HostBuildFacts& build : kHostBuilds) {
    Place_Routines(build);
    if (build.sse_flag) *reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(build.sse_flag)) = layout.sse_flag;
  }
  for (std::int32_t build : layout.signature_builds) Set_Signature(build, true);
}

void Set_Signature(std::int32_t build, bool present) {
  if (!mapped) std::abort();
  auto* at = reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(Host_Build_Facts(build).probe));
  if (present) {
    std::memcpy(at, kHostSignature, sizeof kHostSignature);
  } else {
    std::memset(at, 0xCC, sizeof kHostSignature);
  }
}

std::uintptr_t Probe_Address(std::int32_t build) { return Host_Build_Facts(build).probe; }
std::uintptr_t Sse_Flag_Address(std::int32_t build) { return Host_Build_Facts(build).sse_flag; }

const HostBuildFacts& Host_Build_Facts(std::int32_t build) {
  for (const HostBuildFacts& facts : kHostBuilds) {
    if (facts.build == build) return facts;
  }
  throw std::invalid_argument("the host has no build " + std::to_string(build));
}

AllocatorReport Allocator_Report() { return allocator; }
const std::vector<std::size_t>& Requested_Sizes() { return requested_sizes; }
void Record_Requested_Sizes(bool record) { record_requested_sizes = record; }
void Yield_Null_From(std::size_t nth, std::size_t count) {
  null_from = nth;
  null_count = count;
}
void Yield_Null_After(std::size_t nth) { Yield_Null_From(nth == 0 ? 0 : allocator.allocations + nth, 1); }
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
