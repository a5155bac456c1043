// The checker's output: a table of the seventeen maps, the findings, an optional plan of
// the next plays, and a one-line summary.
#pragma once

#include <string>

#include "check/server_check.h"

namespace harvane_check {

// `plays` 0: no plan.
std::string Format_Report(const ServerReport& report, int plays);

// What the "Version files" cell says of a row: "1-3 present", "1 present, 2 no folder".
std::string Describe_Versions(const RowReport& row);

}  // namespace harvane_check
