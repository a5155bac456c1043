#include "check/plan.h"

#include "rotation/level_rotation.h"

namespace harvane_check {

std::vector<PlannedPlay> Plan_Plays(const RowReport& row, int plays) {
  std::vector<PlannedPlay> plan;
  std::int32_t cursor = 1;  // the version last copied or attempted, as the plug-in keeps it
  std::int32_t in_data = row.Version_Present(1) ? 1 : 0;
  for (int play = 0; play < plays; ++play) {
    plan.push_back({in_data, in_data == cursor});
    // The plug-in rotates only maps with two versions or more.
    if (row.count < 2) continue;
    cursor = Advanced_Version(cursor, row.count);
    if (row.Version_Present(cursor)) in_data = cursor;
  }
  return plan;
}

}  // namespace harvane_check
