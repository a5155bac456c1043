// Which build of the host executable we run in, and the absolute addresses of the host
// routines for that build. Code outside src/host never holds a raw host address.
#pragma once

#include <cstdint>

enum HostBuild : std::int32_t {
  HostBuild_First = 0,        // the first probe matched
  HostBuild_Second = 1,       // the second probe matched
  HostBuild_Third = 4,        // the third probe matched
  HostBuild_Unidentified = 6  // no probe matched (also the value at load)
};

// The entries we carry: those whose per-build values are known. The host has more
// (111 in all); nothing in the plug-in reads the others, so they are left out.
enum class HostEntry {
  Host_Allocate,
  Host_Allocate_Array,
  Host_Free,
  Host_Free_Array,
  Host_SSE_Flag,            // address of the host's SSE flag byte
  Further_Routine_A,        // bound with the allocator group, read by nothing
  Further_Routine_B,
  Second_Flag_Byte,         // four bytes after the SSE flag
  Step3_Routine,            // read by nothing
  Get_Game_Data,
  Host_Get_INI,
  Host_Release_INI,
  Host_INI_Get_Int,
  Attach_Routine_A,         // filled at process attach, read by nothing
  Attach_Routine_B,
  Attach_Routine_C,
  Count
};

// The fill step that binds each entry, in the host's order of filling.
constexpr int kFirstInitStep = 1;
constexpr int kLastStepBeforeVectorMath = 3;
constexpr int kLastInitStep = 15;
constexpr int kAttachStep = 16;

HostBuild Current_Host_Build();
std::uint32_t Host_Entry_Value(HostEntry entry);

// Writes the row of the current build into every carried entry of steps first..last,
// zero where a step has no row for that build.
void Fill_Host_Address_Steps(int first_step, int last_step);

// Identification's result; also a test seam.
void Set_Host_Build(HostBuild build);
// Test seam: an entry as a host without that routine would leave it.
void Set_Host_Entry(HostEntry entry, std::uint32_t address);

// The value the per-build table gives an entry, without touching the process-wide state.
std::uint32_t Host_Address_For(HostEntry entry, std::int32_t build);
