// The entry points the plug-in host calls, in the host's record layouts.
#pragma once

#include <cstddef>

#include "platform/win32.h"
#include "shell/script_registry.h"

// Where the host's plug-in information record holds what we fill in.
constexpr std::size_t kPluginNameOffset = 4;
constexpr std::size_t kPluginVersionOffset = 36;
constexpr std::size_t kHostVersionOffset = 64;
constexpr std::size_t kPluginInfoFlagOffset = 92;

extern "C" {
PLUGIN_EXPORT bool SSGM_Check_Version(void* unused, void* plugin_info);
PLUGIN_EXPORT void SSGM_Plugin_Load(HMODULE extension_library, void* host_settings, HostRegistrar* registrar,
                                    void* unused, void* plugin_info);
// `commands` points at a cell that holds the address of the host's commands table.
PLUGIN_EXPORT bool Set_Script_Commands(void** commands);
PLUGIN_EXPORT void SSGM_Level_Loaded_Hook();
PLUGIN_EXPORT void* Create_Script(const char* name);
PLUGIN_EXPORT void Set_Request_Destroy_Func(DestroyRequestRoutine routine);
PLUGIN_EXPORT void SSGM_Plugin_Unload();
}
