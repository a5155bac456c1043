// The seventeen maps as the administrator and the host know them, written out by hand (not
// taken from the plug-in) so the tests hold their own account of names and paths: the
// catalogue, the paths of version 1, the console texts, the reliability scenarios, the soak
// and the level-loaded fuzzer are checked against this.
#pragma once

#include <cstddef>
#include <string>

struct ExpectedRow {
  const char* key;                // settings key and version-folder prefix
  const char* display_name;       // the name the console gives
  const char* map_file_name;      // the map file the host names once the map has loaded
  const char* level_file_name;    // the level file swapped between versions
  const char* first_source_path;  // version 1's level file, as the plug-in names it
  const char* destination_path;   // the level file in data, as the plug-in names it
};

inline constexpr ExpectedRow kExpectedCatalogue[] = {
    {"Complex", "Complex", "C&C_Complex.mix", "C&C_Complex.ldd", "Complex1\\C&C_Complex.ldd", "data\\C&C_Complex.ldd"},
    {"CityFlying", "City Flying", "C&C_City_Flying.mix", "C&C_City_Flying.ldd", "CityFlying1\\C&C_City_Flying.ldd",
     "data\\C&C_City_Flying.ldd"},
    {"Under", "Under", "C&C_Under.mix", "C&C_Under.ldd", "Under1\\C&C_Under.ldd", "data\\C&C_Under.ldd"},
    {"WallsFlying", "Walls Flying", "C&C_Walls_Flying.mix", "C&C_Walls_Flying.ldd",
     "WallsFlying1\\C&C_Walls_Flying.ldd", "data\\C&C_Walls_Flying.ldd"},
    {"Volcano", "Volcano", "C&C_Volcano.mix", "C&C_Volcano.ldd", "Volcano1\\C&C_Volcano.ldd", "data\\C&C_Volcano.ldd"},
    {"Canyon", "Canyon", "C&C_Canyon.mix", "C&C_Canyon.ldd", "Canyon1\\C&C_Canyon.ldd", "data\\C&C_Canyon.ldd"},
    {"Hourglass", "Hourglass", "C&C_Hourglass.mix", "C&C_Hourglass.ldd", "Hourglass1\\C&C_Hourglass.ldd",
     "data\\C&C_Hourglass.ldd"},
    {"Mesa", "Mesa", "C&C_Mesa.mix", "C&C_Mesa.ldd", "Mesa1\\C&C_Mesa.ldd", "data\\C&C_Mesa.ldd"},
    {"Islands", "Islands", "C&C_Islands.mix", "C&C_Islands.ldd", "Islands1\\C&C_Islands.ldd", "data\\C&C_Islands.ldd"},
    {"Field", "Field", "C&C_Field.mix", "C&C_Field.ldd", "Field1\\C&C_Field.ldd", "data\\C&C_Field.ldd"},
    {"City", "City", "C&C_City.mix", "C&C_City.ldd", "City1\\C&C_City.ldd", "data\\C&C_City.ldd"},
    {"Walls", "Walls", "C&C_Walls.mix", "C&C_Walls.ldd", "Walls1\\C&C_Walls.ldd", "data\\C&C_Walls.ldd"},
    {"Tutorial", "Tutorial", "M00_Tutorial.mix", "m00_tutorial.ldd", "Tutorial1\\m00_tutorial.ldd",
     "data\\m00_tutorial.ldd"},
    {"M01", "M01", "M01.mix", "m01.ldd", "M011\\m01.ldd", "data\\m01.ldd"},
    {"M02", "M02", "M02.mix", "m02.ldd", "M021\\m02.ldd", "data\\m02.ldd"},
    {"M03", "M03", "M03.mix", "m03.ldd", "M031\\m03.ldd", "data\\m03.ldd"},
    {"M04", "M04", "M04.mix", "m04.ldd", "M041\\m04.ldd", "data\\m04.ldd"},
};

inline constexpr std::size_t kExpectedRows = sizeof kExpectedCatalogue / sizeof kExpectedCatalogue[0];

// Paths relative to the server folder, as the tests lay them out and read them (forward
// slashes: the tests reach the files directly).
inline std::string Version_Folder(const ExpectedRow& row, int version) { return row.key + std::to_string(version); }
inline std::string Version_File(const ExpectedRow& row, int version) {
  return Version_Folder(row, version) + "/" + row.level_file_name;
}
inline std::string Data_File(const ExpectedRow& row) { return std::string("data/") + row.level_file_name; }

// Source path of `version` as the console names it: folder key + version, a backslash, file.
inline std::string Source_Path(const ExpectedRow& row, int version) {
  return Version_Folder(row, version) + "\\" + row.level_file_name;
}
