// Identifies the host executable's build by a code signature and binds its routines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// The short host routine whose position tells the builds apart.
constexpr std::size_t kHostBuildSignatureLength = 19;
extern const std::uint8_t kHostBuildSignature[kHostBuildSignatureLength];

struct HostBuildProbe {
  std::uintptr_t address;
  std::int32_t build;
};
// In the order they run; a later match overrides an earlier one.
constexpr HostBuildProbe kHostBuildProbes[] = {
    {0x78CE49, 0},
    {0x78C6E9, 1},
    {0x78790C, 4},
};

// Runs the probes, then fills the address table; creates the vector math objects on the way.
void Init_Host_Bindings();
// True once Init_Host_Bindings has started in this process.
bool Host_Binding_Attempted();

extern "C" PLUGIN_EXPORT BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
