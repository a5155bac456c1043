#include "host_image.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace emulator {
namespace {

// The host's data area, past its code: the game-data object, the map name it points to, and
// the INI objects the host hands out.
constexpr std::uint32_t kGameDataObject = 0x008E0000;
constexpr std::uint32_t kMapNameBuffer = 0x008E0100;
constexpr std::uint32_t kMapNameCapacity = 0x100;
constexpr std::uint32_t kIniObjects = 0x008F0000;
constexpr std::uint32_t kGameDataMapNameOffset = 0x28;

}  // namespace

std::map<std::string, RoutineDeclaration> Host_Routine_Declarations() {
  // All plain functions of the host are cdecl; the INI lookup is a member routine (thiscall)
  // that removes its three arguments.
  return {
      {"Host_Allocate", {Convention::Cdecl, 4}},    {"Host_Allocate_Array", {Convention::Cdecl, 4}},
      {"Host_Free", {Convention::Cdecl, 4}},        {"Host_Free_Array", {Convention::Cdecl, 4}},
      {"Get_Game_Data", {Convention::Cdecl, 0}},    {"Host_Get_INI", {Convention::Cdecl, 4}},
      {"Host_Release_INI", {Convention::Cdecl, 4}}, {"Host_INI_Get_Int", {Convention::Thiscall, 12}},
  };
}

HostImage::HostImage(X86Machine& machine, HostImageOptions options)
    : machine_(machine), options_(std::move(options)), heap_(machine, 0x02000000, 0x01000000, "host heap") {
  std::uint8_t* headers = machine_.Map(kImageBase, 0x1000, kPageReadOnly, kMemImage, "host headers", kImageBase);
  headers[0] = 'M';
  headers[1] = 'Z';
  std::uint8_t* code = machine_.Map(kImageBase + 0x1000, kCodeEnd - kImageBase - 0x1000, kPageExecuteRead,
                                    kMemImage, "host code", kImageBase);
  std::memset(code, 0xCC, kCodeEnd - kImageBase - 0x1000);
  machine_.Map(kCodeEnd, kImageEnd - kCodeEnd, kPageReadWrite, kMemImage, "host data", kImageBase);

  for (const HostBuildFacts& build : kHostBuilds) {
    const std::size_t single = Family_For(build.build, "single", build.host_allocate);
    const std::size_t array = Family_For(build.build, "array", build.host_allocate_array);
    Place(build.host_allocate, "Host_Allocate", build.build, [this, single](TrapCall& call) { return Allocate(single, call); });
    if (build.host_allocate_array != build.host_allocate) {
      Place(build.host_allocate_array, "Host_Allocate_Array", build.build,
            [this, array](TrapCall& call) { return Allocate(array, call); });
    }
    Place(build.host_free, "Host_Free", build.build,
          [this, single](TrapCall& call) { return Release(single, call, "Host_Free"); });
    if (build.host_free_array != build.host_free) {
      Place(build.host_free_array, "Host_Free_Array", build.build,
            [this, array](TrapCall& call) { return Release(array, call, "Host_Free_Array"); });
    }
    if (build.get_game_data) {
      Place(build.get_game_data, "Get_Game_Data", build.build, [this](TrapCall& call) { return Get_Game_Data(call); });
    }
    if (build.host_get_ini) Place(build.host_get_ini, "Host_Get_INI", build.build, [this](TrapCall& call) { return Get_Ini(call); });
    if (build.host_release_ini) {
      Place(build.host_release_ini, "Host_Release_INI", build.build, [this](TrapCall& call) { return Release_Ini(call); });
    }
    if (build.host_ini_get_int) {
      Place(build.host_ini_get_int, "Host_INI_Get_Int", build.build, [this](TrapCall& call) { return Ini_Get_Int(call); });
    }
    if (build.sse_flag) machine_.Write8(build.sse_flag, options_.sse_flag);
  }
  for (std::int32_t build : options_.signature_builds) {
    machine_.Write_Bytes(Host_Build(build).probe, substitute_host::kHostSignature, sizeof substitute_host::kHostSignature);
  }
  game_data_ = kGameDataObject;
  map_name_ = kMapNameBuffer;
  std::uint8_t filler[kGameDataMapNameOffset + 8];
  std::memset(filler, 0xA5, sizeof filler);
  machine_.Write_Bytes(game_data_, filler, sizeof filler);
  Set_Loaded_Map(nullptr);
}

void HostImage::Place(std::uint32_t address, const std::string& routine, std::int32_t build, TrapHandler handler) {
  auto declared = options_.declarations.find(routine);
  if (declared == options_.declarations.end()) throw std::invalid_argument("no declaration of " + routine);
  machine_.Place_Trap(address, Trap{"host " + routine + " (build " + std::to_string(build) + ")",
                                    declared->second.convention, declared->second.arg_bytes, std::move(handler)});
}

std::size_t HostImage::Family_For(std::int32_t build, const char* form, std::uint32_t allocate_routine) {
  // One family per allocation routine: where the single and array forms are one routine
  // (builds 0, 1 and 4), they are one family.
  auto found = family_by_routine_.find(allocate_routine);
  if (found != family_by_routine_.end()) return found->second;
  families_.push_back({"build " + std::to_string(build) + " " + form, {}});
  family_by_routine_[allocate_routine] = families_.size() - 1;
  return families_.size() - 1;
}

std::uint32_t HostImage::Allocate(std::size_t family, TrapCall& call) {
  const std::uint32_t size = call.Arg(0);
  ++report_.allocations;
  report_.requested_sizes.push_back(size);
  const std::size_t nth = report_.allocations;
  if (options_.null_allocation_at != 0 && nth >= options_.null_allocation_at &&
      (options_.null_allocation_count == 0 || nth < options_.null_allocation_at + options_.null_allocation_count)) {
    ++report_.null_results;
    return 0;
  }
  const std::uint32_t block = heap_.Allocate(size);
  if (block == 0) machine_.Fail("the host heap is exhausted");
  families_[family].live.insert(block);
  return block;
}

std::uint32_t HostImage::Release(std::size_t family, TrapCall& call, const std::string& routine) {
  const std::uint32_t block = call.Arg(0);
  if (block == 0) {
    ++report_.null_releases;
    return 0;
  }
  Family& owner = families_[family];
  if (owner.live.erase(block) == 1) {
    heap_.Release(block);
    ++report_.releases;
    return 0;
  }
  // Not ours: leave the block alone, as the host could not safely take it.
  ++report_.foreign_releases;
  report_.foreign_release_notes.push_back(routine + " of " + machine_.Name_Address(block) + " from " +
                                          machine_.Name_Address(call.Return_Address()) + ": " +
                                          (heap_.Is_Live(block) ? "given out by another family"
                                                                : "never given out by this family, or given back already"));
  return 0;
}

HostAllocatorReport HostImage::Allocator_Report() const {
  HostAllocatorReport report = report_;
  report.live_blocks = 0;
  for (const Family& family : families_) report.live_blocks += family.live.size();
  return report;
}

void HostImage::Set_Loaded_Map(const char* map_file_name) {
  if (map_file_name == nullptr) {
    machine_.Write32(game_data_ + kGameDataMapNameOffset, 0);
    return;
  }
  const std::size_t length = std::strlen(map_file_name);
  if (length + 1 > kMapNameCapacity) throw std::invalid_argument("map name too long for the host's buffer");
  machine_.Write_Bytes(map_name_, map_file_name, static_cast<std::uint32_t>(length + 1));
  machine_.Write32(game_data_ + kGameDataMapNameOffset, map_name_);
}

std::uint32_t HostImage::Get_Game_Data(TrapCall&) {
  ++game_data_calls_;
  return options_.game_data_missing ? 0 : game_data_;
}

std::uint32_t HostImage::Get_Ini(TrapCall& call) {
  const std::string name = machine_.Read_C_String(call.Arg(0));
  ini_events_.push_back({"open " + name, substitute_host::Staged_Settings_Copy_Present()});
  if (options_.ini_yields_null) return 0;
  substitute_host::HostIniFile file = substitute_host::HostIniFile::Read_From_Data_Folder(name);
  const std::uint32_t handle = kIniObjects + 16 * next_ini_handle_++;
  machine_.Write32(handle, 0x494E4921);  // the host's object; the plug-in only passes it back
  ini_files_[handle] = std::move(file);
  return handle;
}

std::uint32_t HostImage::Release_Ini(TrapCall& call) {
  const std::uint32_t handle = call.Arg(0);
  ini_events_.push_back({"release", substitute_host::Staged_Settings_Copy_Present()});
  if (ini_files_.erase(handle) != 1) {
    machine_.Fail("Host_Release_INI of " + machine_.Name_Address(handle) + ", a handle the host never gave out or took back already");
  }
  return 0;
}

std::uint32_t HostImage::Ini_Get_Int(TrapCall& call) {
  auto found = ini_files_.find(call.This());
  if (found == ini_files_.end()) {
    machine_.Fail("Host_INI_Get_Int on object " + machine_.Name_Address(call.This()) +
                  " (ECX), which is no INI object the host gave out");
  }
  const std::string section = machine_.Read_C_String(call.Arg(0));
  const std::string key = machine_.Read_C_String(call.Arg(1));
  const auto default_value = static_cast<std::int32_t>(call.Arg(2));
  return static_cast<std::uint32_t>(found->second.Get_Int(section, key, default_value));
}

}  // namespace emulator
