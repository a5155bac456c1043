// Which version each of a map's next plays loads, from a server start: version 1 staged at
// start-up, then after each play the next one copied in by the plug-in's rotation rule.
#pragma once

#include <cstdint>
#include <vector>

#include "check/server_check.h"

namespace harvane_check {

struct PlannedPlay {
  std::int32_t loaded;  // the version in data when the play starts; 0: none was copied yet
  bool as_planned;      // false when the copy for this play fails (its version is missing)
};

// `row.count` above 0; a missing version's copy fails and data keeps the file it had.
std::vector<PlannedPlay> Plan_Plays(const RowReport& row, int plays);

}  // namespace harvane_check
