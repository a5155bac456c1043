// The host executable's image in the emulator, at its real addresses for the builds the
// plug-in can identify: the 19-byte build signature at the probe address of each chosen
// build, and at each routine address a trap into the substitute routines below — the
// allocator (accounted per family), the INI service, the game-data object — and the SSE
// flag byte. Everything else in the image is int3 filler, so a call to an address the
// host does not have stops at once.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "guest_heap.h"
#include "host_facts.h"
#include "host_ini.h"
#include "x86_machine.h"

namespace emulator {

// The host executable's facts are the substitute host's: one definition for both stand-ins.
using substitute_host::HostBuildFacts;
using substitute_host::kHostBuilds;
inline const HostBuildFacts& Host_Build(std::int32_t build) { return substitute_host::Host_Build_Facts(build); }

// How a host routine is called: the host's truth by default; a test may state it wrongly.
struct RoutineDeclaration {
  Convention convention;
  std::uint32_t arg_bytes;  // removed by the routine when it is not cdecl
};
std::map<std::string, RoutineDeclaration> Host_Routine_Declarations();

struct HostImageOptions {
  std::vector<std::int32_t> signature_builds{0};
  std::uint8_t sse_flag = 0;
  bool ini_yields_null = false;
  std::size_t null_allocation_at = 0;     // 1-based; 0: never
  std::size_t null_allocation_count = 1;  // calls in a row answered null; 0: every later one
  bool game_data_missing = false;         // Get_Game_Data answers null
  std::map<std::string, RoutineDeclaration> declarations = Host_Routine_Declarations();
};

struct HostAllocatorReport {
  std::size_t allocations = 0;       // calls, null answers included
  std::size_t null_results = 0;
  std::size_t releases = 0;          // non-null blocks given back to the family that gave them out
  std::size_t null_releases = 0;
  std::size_t foreign_releases = 0;  // blocks given back that this family never gave out, or twice
  std::size_t live_blocks = 0;
  std::vector<std::uint32_t> requested_sizes;
  std::vector<std::string> foreign_release_notes;
};

struct HostIniEvent {
  std::string what;  // "open <name>" or "release"
  bool staged_copy_present;
};

class HostImage {
 public:
  static constexpr std::uint32_t kImageBase = 0x00400000;
  static constexpr std::uint32_t kCodeEnd = 0x00800000;
  static constexpr std::uint32_t kImageEnd = 0x00900000;

  HostImage(X86Machine& machine, HostImageOptions options);

  void Set_Loaded_Map(const char* map_file_name);  // null: the game data names no map
  HostAllocatorReport Allocator_Report() const;
  const std::vector<HostIniEvent>& Ini_Events() const { return ini_events_; }
  std::size_t Open_Ini_Handles() const { return ini_files_.size(); }
  std::size_t Game_Data_Calls() const { return game_data_calls_; }

 private:
  struct Family {
    std::string name;
    std::set<std::uint32_t> live;
  };

  void Place(std::uint32_t address, const std::string& routine, std::int32_t build, TrapHandler handler);
  std::size_t Family_For(std::int32_t build, const char* form, std::uint32_t allocate_routine);
  std::uint32_t Allocate(std::size_t family, TrapCall& call);
  std::uint32_t Release(std::size_t family, TrapCall& call, const std::string& routine);
  std::uint32_t Get_Game_Data(TrapCall& call);
  std::uint32_t Get_Ini(TrapCall& call);
  std::uint32_t Release_Ini(TrapCall& call);
  std::uint32_t Ini_Get_Int(TrapCall& call);

  X86Machine& machine_;
  HostImageOptions options_;
  GuestHeap heap_;
  std::vector<Family> families_;
  std::map<std::uint32_t, std::size_t> family_by_routine_;
  HostAllocatorReport report_;
  std::uint32_t game_data_ = 0, map_name_ = 0;
  std::size_t game_data_calls_ = 0;
  std::map<std::uint32_t, substitute_host::HostIniFile> ini_files_;  // by handle
  std::uint32_t next_ini_handle_ = 0;
  std::vector<HostIniEvent> ini_events_;
};

}  // namespace emulator
