// Checks a server folder the way the plug-in will meet it: Harvane.ini read as the plug-in
// reads it (section General, the catalogue keys, an absent key counting 0), the data folder,
// and for each configured map the level file of every version 1..count, at the path the
// plug-in copies from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rotation/map_catalogue.h"

namespace harvane_check {

enum class Severity { Warning, Error };

struct Finding {
  Severity severity;
  std::string text;
};

enum class CountSource {
  Absent,        // no such key: the count is 0
  Written,       // a plain integer
  NotAnInteger,  // written, but what the server makes of it is not defined; counted as 0 here
};

enum class VersionState {
  Present,        // the level file is there
  FolderMissing,  // the copy would fail with Windows error 3
  FileMissing,    // the folder is there, the file is not: error 2
  NotAFile,       // something else has the file's name: error 5
};

// Versions first..last, all in the same state.
struct VersionRange {
  std::int32_t first;
  std::int32_t last;
  VersionState state;
};

struct RowReport {
  std::int32_t count = 0;  // the count the plug-in works with
  CountSource source = CountSource::Absent;
  std::string written_key;    // spelling in the file, when written
  std::string written_value;  // when written
  int line = 0;               // line of the entry, when written
  // Covers 1..count in order when count > 0; neighbouring ranges differ in state.
  std::vector<VersionRange> versions;

  bool Version_Present(std::int32_t version) const;
  std::int32_t Versions_In(VersionState state) const;
};

struct ServerReport {
  std::string folder;  // as given
  bool settings_found = false;
  std::size_t general_entries = 0;  // entries in section General
  bool data_found = false;
  std::array<RowReport, kMapCount> rows;
  std::vector<Finding> findings;  // settings and folders first, then the maps in catalogue order

  std::size_t Errors() const;
  std::size_t Warnings() const;
  int Configured_Maps() const;  // rows with a count above 0
  // 0: all well; 1: warnings only; 2: errors.
  int Exit_Status() const;
};

// `folder` must exist; paths in the findings are relative to it, in this platform's form.
ServerReport Check_Server_Folder(const std::string& folder);

}  // namespace harvane_check
