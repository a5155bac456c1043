// The signatures of the host executable's routines, shared by the forwarding routines
// and by anything that stands in for the host. On 32-bit x86 the INI routine is a member
// routine of the host's INI object (thiscall: the object in ECX, the callee removes its
// three arguments); everything else is cdecl.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__i386__)
#define HOST_THISCALL __attribute__((thiscall))
#else
#define HOST_THISCALL
#endif

using HostAllocateRoutine = void* (*)(std::size_t size);
using HostFreeRoutine = void (*)(void* block);
using GetGameDataRoutine = void* (*)();
using HostGetIniRoutine = void* (*)(const char* file_name);
using HostReleaseIniRoutine = void (*)(void* ini);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"  // thiscall on a plain function pointer is meant
using HostIniGetIntRoutine = std::int32_t(HOST_THISCALL*)(void* ini, const char* section, const char* key,
                                                          std::int32_t default_value);
#pragma GCC diagnostic pop

// Where the game-data object holds the pointer to the loaded map's file name.
constexpr std::size_t kGameDataMapNameOffset = 0x28;
