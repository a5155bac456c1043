// Forwarding routines to the host executable's game services.
//
// Where the identified build has no address for a routine (build 4, an unrecognised
// host) the routine is not called: the forwarder yields what an empty host would
// (no game data, no INI handle, the default value).
#pragma once

#include <cstdint>

void* Get_Game_Data();
// The loaded map's file name from the game-data object, or null where there is none.
const char* Loaded_Map_File_Name();
void* Host_Get_INI(const char* file_name);
void Host_Release_INI(void* ini);
std::int32_t Host_INI_Get_Int(void* ini, const char* section, const char* key, std::int32_t default_value);
