// The seventeen maps as the administrator meets them, written out here (not taken from the
// plug-in) so the tests hold their own account of names and paths.
#pragma once

#include <cstddef>
#include <string>

struct Map {
  const char* key;         // settings key and version-folder prefix
  const char* display;     // the name the console gives
  const char* map_file;    // the map file the host names once the map has loaded
  const char* level_file;  // the level file swapped between versions
};

inline constexpr Map kMaps[] = {
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
inline constexpr std::size_t kMapRows = sizeof kMaps / sizeof kMaps[0];

// Paths relative to the server folder, as the tests lay them out and read them.
inline std::string Version_Folder(const Map& map, int version) { return map.key + std::to_string(version); }
inline std::string Version_File(const Map& map, int version) {
  return Version_Folder(map, version) + "/" + map.level_file;
}
inline std::string Data_File(const Map& map) { return std::string("data/") + map.level_file; }
// The source path as the console names it: backslash, as the plug-in forms it.
inline std::string Source_Path(const Map& map, int version) {
  return Version_Folder(map, version) + "\\" + map.level_file;
}

// ---- console texts ----
inline const std::string kNotice = "New settings detected and loaded from Harvane.ini!\n";
inline const std::string kStagingOpening =
    "Copying the first modified map versions ready and waiting to the data folder before the map loads...\n";
inline std::string Count_Line(const Map& map, int count) {
  return std::string("Number of modded versions for ") + map.map_file + " equals " + std::to_string(count) + "\n";
}
inline std::string Copying(const Map& map) { return std::string(map.display) + " copying...\n"; }
inline std::string Copy_Successful(const Map& map) { return std::string(map.display) + " copy successful...\n"; }
inline std::string Failed_Copy(int code) {
  return "Copying failed...\nWindows system error code: " + std::to_string(code) + "\n";
}
inline std::string Announced(const Map& map) {
  return std::string("Copying next modified version of ") + map.display +
         " to the data directory, ready for the next time the map loads.\n";
}
inline std::string Copied_From(const Map& map, int version) {
  return std::string("Next version of ") + map.display + " has been copied successfully from " +
         Source_Path(map, version) + "\n";
}
