// The checker's plan: which version each of a map's next plays loads.
#include "check/plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using harvane_check::Plan_Plays;
using harvane_check::RowReport;
using harvane_check::VersionRange;
using harvane_check::VersionState;

// A row of `count` versions, those in `missing` without their file.
RowReport Row(std::int32_t count, const std::vector<std::int32_t>& missing = {}) {
  RowReport row;
  row.count = count;
  for (std::int32_t version = 1; version <= count; ++version) {
    bool absent = false;
    for (std::int32_t gone : missing) absent = absent || gone == version;
    row.versions.push_back({version, version, absent ? VersionState::FolderMissing : VersionState::Present});
  }
  return row;
}

// "1 2 3*": the loaded versions, '*' where the planned copy failed, '-' for nothing copied.
std::string Plays(const RowReport& row, int plays) {
  std::string text;
  for (const auto& play : Plan_Plays(row, plays)) {
    if (!text.empty()) text += ' ';
    text += play.loaded == 0 ? "-" : std::to_string(play.loaded);
    if (play.loaded != 0 && !play.as_planned) text += '*';
  }
  return text;
}

struct PlanCase {
  const char* what;
  RowReport row;
  int plays;
  const char* expected;
};

void PrintTo(const PlanCase& param, std::ostream* out) { *out << '"' << param.what << '"'; }

class PlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanTest, FollowsThePlugInsRotation) { EXPECT_EQ(Plays(GetParam().row, GetParam().plays), GetParam().expected) << GetParam().what; }

INSTANTIATE_TEST_SUITE_P(
    Rows, PlanTest,
    ::testing::Values(PlanCase{"three versions cycle", Row(3), 7, "1 2 3 1 2 3 1"},
                      PlanCase{"two versions alternate", Row(2), 5, "1 2 1 2 1"},
                      PlanCase{"one version never rotates", Row(1), 4, "1 1 1 1"},
                      PlanCase{"a single play loads version 1", Row(5), 1, "1"},
                      PlanCase{"a missing version leaves the one before in data", Row(3, {2}), 6, "1 1* 3 1 1* 3"},
                      PlanCase{"two missing in a row", Row(4, {2, 3}), 5, "1 1* 1* 4 1"},
                      PlanCase{"version 1 missing: the first play loads what data held", Row(2, {1}), 5, "- 2 2* 2 2*"},
                      PlanCase{"every version missing", Row(2, {1, 2}), 3, "- - -"}));

TEST(Plan, HugeCountAdvancesWithoutWrapping) {
  RowReport row;
  row.count = 2147483647;
  row.versions = {{1, 2147483647, VersionState::Present}};
  EXPECT_EQ(Plays(row, 3), "1 2 3");
}

}  // namespace
