// What the plug-in prints on the server console, written out by hand once for every test:
// each text is built from plain strings (a display name, a map file, a source path), and for
// a row of the expected catalogue from that row's names and paths.
#pragma once

#include <string>

#include "expected_catalogue.h"

// ---- loading the settings ----
// The change notice: this text on the console and in the game log, once per load that finds
// any key set.
inline const std::string kNoticeText = "New settings detected and loaded from Harvane.ini!";
inline const std::string kNoticeLine = kNoticeText + "\n";

// One line for each positive count.
inline std::string Count_Line(const std::string& map_file_name, int count) {
  return "Number of modded versions for " + map_file_name + " equals " + std::to_string(count) + "\n";
}
inline std::string Count_Line(const ExpectedRow& row, int count) { return Count_Line(row.map_file_name, count); }

// ---- staging version 1 before the first map loads ----
inline const std::string kStagingOpening =
    "Copying the first modified map versions ready and waiting to the data folder before the map loads...\n";

inline std::string Copying(const std::string& display_name) { return display_name + " copying...\n"; }
inline std::string Copy_Successful(const std::string& display_name) { return display_name + " copy successful...\n"; }
// Both lines of a map staged without trouble.
inline std::string Staged(const std::string& display_name) {
  return Copying(display_name) + Copy_Successful(display_name);
}
inline std::string Copying(const ExpectedRow& row) { return Copying(row.display_name); }
inline std::string Copy_Successful(const ExpectedRow& row) { return Copy_Successful(row.display_name); }
inline std::string Staged(const ExpectedRow& row) { return Staged(row.display_name); }

// ---- a failed copy, at staging or at a rotation ----
inline std::string Failed_Copy(int code) {
  return "Copying failed...\nWindows system error code: " + std::to_string(code) + "\n";
}

// ---- the rotation when a map has loaded ----
inline std::string Announced(const std::string& display_name) {
  return "Copying next modified version of " + display_name +
         " to the data directory, ready for the next time the map loads.\n";
}
inline std::string Copied_From(const std::string& display_name, const std::string& source_path) {
  return "Next version of " + display_name + " has been copied successfully from " + source_path + "\n";
}
// Both lines of a rotation that copied `source_path`.
inline std::string Rotated(const std::string& display_name, const std::string& source_path) {
  return Announced(display_name) + Copied_From(display_name, source_path);
}
// The announcement, then the failure lines.
inline std::string Rotation_Failed(const std::string& display_name, int code) {
  return Announced(display_name) + Failed_Copy(code);
}
inline std::string Announced(const ExpectedRow& row) { return Announced(row.display_name); }
inline std::string Copied_From(const ExpectedRow& row, int version) {
  return Copied_From(row.display_name, Source_Path(row, version));
}
inline std::string Rotated(const ExpectedRow& row, int version) {
  return Rotated(row.display_name, Source_Path(row, version));
}
inline std::string Rotation_Failed(const ExpectedRow& row, int code) { return Rotation_Failed(row.display_name, code); }
