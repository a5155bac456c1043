// The seventeen maps as the administrator and the host know them, written out by hand:
// the catalogue, the paths of version 1 and the console texts are checked against this.
#pragma once

#include <cstddef>
#include <string>

struct ExpectedRow {
  const char* key;
  const char* display_name;
  const char* map_file_name;
  const char* level_file_name;
  const char* first_source_path;
  const char* destination_path;
};

inline const ExpectedRow kExpectedCatalogue[] = {
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

constexpr std::size_t kExpectedRows = sizeof kExpectedCatalogue / sizeof kExpectedCatalogue[0];

// Where the server folder keeps the row's level file in data (forward slashes: the
// test reads it directly).
inline std::string Data_File_Of(const ExpectedRow& row) { return std::string("data/") + row.level_file_name; }

// The rotation's two lines for a successful copy of `source_path`.
inline std::string Rotation_Lines(const ExpectedRow& row, const std::string& source_path) {
  return std::string("Copying next modified version of ") + row.display_name +
         " to the data directory, ready for the next time the map loads.\n" + "Next version of " +
         row.display_name + " has been copied successfully from " + source_path + "\n";
}

inline std::string Rotation_Announcement(const ExpectedRow& row) {
  return std::string("Copying next modified version of ") + row.display_name +
         " to the data directory, ready for the next time the map loads.\n";
}

// Source path of `version` as the console names it: folder key + version, a backslash, file.
inline std::string Source_Path(const ExpectedRow& row, int version) {
  return std::string(row.key) + std::to_string(version) + "\\" + row.level_file_name;
}

inline std::string Count_Report_Line(const ExpectedRow& row, int count) {
  return std::string("Number of modded versions for ") + row.map_file_name + " equals " + std::to_string(count) + "\n";
}

inline const char kStagingOpening[] =
    "Copying the first modified map versions ready and waiting to the data folder before the map loads...\n";
