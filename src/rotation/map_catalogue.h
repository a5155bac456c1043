// The seventeen stock maps whose level-definition files rotate, in their fixed order.
#pragma once

#include <cstddef>

#include "common/format_string.h"

struct MapEntry {
  const char* key;              // settings key in [General], and prefix of the version folders
  const char* display_name;     // how the console names the map
  const char* map_file_name;    // what the host reports once the map has loaded
  const char* level_file_name;  // the file swapped between versions
};

constexpr std::size_t kMapCount = 17;
extern const MapEntry MapCatalogue[kMapCount];

// Index of the row whose map file name equals `map_file_name` exactly, or -1.
int Find_Map_Row(const char* map_file_name);

// "<key><version>\<level_file_name>", formed with "%s%i%s" into a 64-byte buffer.
constexpr std::size_t kSourcePathBufferSize = 64;
void Format_Version_Source_Path(const MapEntry& map, int version, char (&path)[kSourcePathBufferSize]);
// "data\<level_file_name>".
FormattedText Data_Destination_Path(const MapEntry& map);
