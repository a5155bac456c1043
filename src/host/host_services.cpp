#include "host/host_services.h"

#include <cstring>

#include "host/host_address_table.h"
#include "host/host_routines.h"

namespace {

template <typename Routine>
Routine Bound_Routine(HostEntry entry) {
  return reinterpret_cast<Routine>(static_cast<std::uintptr_t>(Host_Entry_Value(entry)));
}

}  // namespace

void* Get_Game_Data() {
  auto routine = Bound_Routine<GetGameDataRoutine>(HostEntry::Get_Game_Data);
  return routine ? routine() : nullptr;
}

const char* Loaded_Map_File_Name() {
  const char* game_data = static_cast<const char*>(Get_Game_Data());
  if (game_data == nullptr) return nullptr;
  const char* map_name = nullptr;
  std::memcpy(&map_name, game_data + kGameDataMapNameOffset, sizeof map_name);
  return map_name;
}

void* Host_Get_INI(const char* file_name) {
  auto routine = Bound_Routine<HostGetIniRoutine>(HostEntry::Host_Get_INI);
  return routine ? routine(file_name) : nullptr;
}

void Host_Release_INI(void* ini) {
  auto routine = Bound_Routine<HostReleaseIniRoutine>(HostEntry::Host_Release_INI);
  if (routine) routine(ini);
}

std::int32_t Host_INI_Get_Int(void* ini, const char* section, const char* key, std::int32_t default_value) {
  auto routine = Bound_Routine<HostIniGetIntRoutine>(HostEntry::Host_INI_Get_Int);
  // A missing handle reads like an empty file: every key yields its default.
  if (routine == nullptr || ini == nullptr) return default_value;
  return routine(ini, section, key, default_value);
}
