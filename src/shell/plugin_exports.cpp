// The host's call sequence: version query, load, commands table, level loads, unload.
// Each entry point forwards to the subsystem that does the work.
#include "shell/plugin_exports.h"

#include "common/host_string.h"
#include "gamelog/game_log_writer.h"
#include "host/command_table_binding.h"
#include "rotation/level_rotation.h"
#include "rotation/startup_staging.h"
#include "settings/version_settings.h"

namespace {

HostString& Plugin_Info_String(void* plugin_info, std::size_t offset) {
  return *reinterpret_cast<HostString*>(static_cast<char*>(plugin_info) + offset);
}

}  // namespace

extern "C" {

bool SSGM_Check_Version(void*, void* plugin_info) {
  Host_String_Assign(Plugin_Info_String(plugin_info, kHostVersionOffset), "2.0.2");
  static_cast<unsigned char*>(plugin_info)[kPluginInfoFlagOffset] = 0;
  return true;
}

void SSGM_Plugin_Load(HMODULE extension_library, void* host_settings, HostRegistrar* registrar, void*,
                      void* plugin_info) {
  Host_String_Assign(Plugin_Info_String(plugin_info, kPluginNameOffset), "Harvane Plug-In");
  Host_String_Assign(Plugin_Info_String(plugin_info, kPluginVersionOffset), "1.0");
  Keep_Extension_Library(extension_library);
  Keep_Host_Settings(host_settings);
  Hand_Registrants_To(registrar);
}

bool Set_Script_Commands(void** commands) {
  if (!Accept_Host_Commands(commands ? *commands : nullptr)) return false;
  Bind_Extension_Exports();
  Create_And_Load_Current_Settings();
  // Without a settings object (the host had no memory for it) there is nothing to stage.
  if (Current_Settings() != nullptr) Stage_First_Versions();
  return true;
}

void SSGM_Level_Loaded_Hook() { Rotate_Loaded_Map(); }

void* Create_Script(const char* name) { return Create_Script_Named(name); }

void Set_Request_Destroy_Func(DestroyRequestRoutine routine) { Script_Registry().request_destroy = routine; }

void SSGM_Plugin_Unload() {
  Release_Script_Registrants();
  Destroy_Current_Settings();
}

}  // extern "C"
