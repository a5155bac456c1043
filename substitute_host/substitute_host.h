// Plays the host executable inside a test or tool process: its image mapped at the real
// fixed addresses, the build signature where a chosen build has it, and jump stubs at the
// routine addresses of every identifiable build leading to the routines below.
//
// State is process-wide and never reset: run each scenario in a process of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace substitute_host {

constexpr std::uintptr_t kImageBegin = 0x400000;
constexpr std::uintptr_t kImageEnd = 0x900000;


struct Layout {
  std::vector<std::int32_t> signature_builds;  // builds whose probe address gets the signature
  unsigned char sse_flag = 0;                  // the flag byte of builds 0 and 1
};

// Maps the image (fails loudly if the range is taken) and lays it out. Call once, before
// the plug-in is loaded.
void Map_Host_Image(const Layout& layout);
// Writes or wipes the signature at a build's probe address, after mapping.
void Set_Signature(std::int32_t build, bool present);
std::uintptr_t Probe_Address(std::int32_t build);
std::uintptr_t Sse_Flag_Address(std::int32_t build);  // 0 where the build has none

// --- allocator: one family, the host's; the plug-in's CRT blocks never reach it ---
struct AllocatorReport {
  std::size_t allocations = 0;        // calls, null results included
  std::size_t null_results = 0;       // calls answered with null on request
  std::size_t releases = 0;           // calls with a non-null block
  std::size_t null_releases = 0;      // calls with a null block
  std::size_t foreign_releases = 0;   // blocks this allocator never gave out, or gave twice back
  std::size_t live_blocks = 0;
};
AllocatorReport Allocator_Report();
// The size of every request so far, in order, while recording is on (the default). A fuzzer
// making millions of requests switches it off.
const std::vector<std::size_t>& Requested_Sizes();
void Record_Requested_Sizes(bool record);
// Answers null from the nth allocation on (1-based), for `count` allocations (0: all later).
void Yield_Null_From(std::size_t nth, std::size_t count = 1);
// The nth allocation from now on (1: the next one) answers null; 0: none.
void Yield_Null_After(std::size_t nth);
void Yield_Null_Always();

// --- game data ---
void Set_Loaded_Map(const char* map_file_name);  // null: the object names no map
void Set_Game_Data_Missing(bool missing);         // Get_Game_Data answers null
std::size_t Game_Data_Calls();

// --- INI service (files are looked for in "data/" under the current folder) ---
void Set_Ini_Yields_Null(bool yields_null);
struct IniEvent {
  std::string what;  // "open <name>" or "release"
  bool staged_copy_present = false;  // data/TEMPHarvane.ini existed at that moment
};
std::vector<IniEvent> Ini_Events();
std::size_t Open_Ini_Handles();

}  // namespace substitute_host
