#include "rotation/map_catalogue.h"

#include <cstdio>
#include <cstring>


const MapEntry MapCatalogue[kMapCount] = {
    {"Complex", "Complex", "C&C_Complex.mix", "C&C_Complex.ldd"},
    {"CityFlying", "City Flying", "C&C_City_Flying.mix", "C&C_City_Flying.ldd"},
    {"Under", "Under", "C&C_Under.mix", "C&C_Under.ldd"},
    {"WallsFlying", "Walls Flying", "C&C_Walls_Flying.mix", "C&C_Walls_Flying.ldd"},
    {"Volcano", "Volcano", "C&C_Volcano.mix", "C&C_Volcano.ldd"},
    {"Canyon", "Canyon", "C&C_Canyon.mix", "C&C_Canyon.ldd"},
    {"Hourglass", "Hourglass", "C&C_Hourglass.mix", "C&C_Hourglass.ldd"},
    {"Mesa", "Mesa", "C&C_Mesa.mix", "C&C_Mesa.ldd"},
    {"Islands", "Islands", "C&C_Islands.mix", "C&C_Islands.ldd"},
    {"Field", "Field", "C&C_Field.mix", "C&C_Field.ldd"},
    {"City", "City", "C&C_City.mix", "C&C_City.ldd"},
    {"Walls", "Walls", "C&C_Walls.mix", "C&C_Walls.ldd"},
    {"Tutorial", "Tutorial", "M00_Tutorial.mix", "m00_tutorial.ldd"},
    {"M01", "M01", "M01.mix", "m01.ldd"},
    {"M02", "M02", "M02.mix", "m02.ldd"},
    {"M03", "M03", "M03.mix", "m03.ldd"},
    {"M04", "M04", "M04.mix", "m04.ldd"},
};

int Find_Map_Row(const char* map_file_name) {
  if (map_file_name == nullptr) return -1;
  for (std::size_t row = 0; row < kMapCount; ++row) {
    if (std::strcmp(MapCatalogue[row].map_file_name, map_file_name) == 0) return static_cast<int>(row);
  }
  return -1;
}

void Format_Version_Source_Path(const MapEntry& map, int version, char (&path)[kSourcePathBufferSize]) {
  char level_file[kSourcePathBufferSize];
  std::snprintf(level_file, sizeof level_file, "\\%s", map.level_file_name);
  // The longest path (WallsFlying, a ten-digit version) takes 43 bytes: it always fits.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif
  std::snprintf(path, sizeof path, "%s%i%s", map.key, version, level_file);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
}

FormattedText Data_Destination_Path(const MapEntry& map) { return Format_String("data\\%s", map.level_file_name); }
