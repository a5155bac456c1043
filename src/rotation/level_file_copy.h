#pragma once

#include "rotation/map_catalogue.h"

// Copies version `version` of the map's level file over data\<level_file_name>. On failure
// prints the failure lines with the system's code and returns false; the caller goes on.
bool Copy_Level_File(const MapEntry& map, int version, char (&source_path)[kSourcePathBufferSize]);
