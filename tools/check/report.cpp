#include "check/report.h"

#include <algorithm>
#include <cstddef>

#include "check/plan.h"

namespace harvane_check {
namespace {

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string Right_Aligned(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string Plural(std::size_t number, const std::string& word, const std::string& words = "") {
  return std::to_string(number) + " " + (number == 1 ? word : words.empty() ? word + "s" : words);
}

std::string Count_Cell(const RowReport& row) {
  switch (row.source) {
    case CountSource::Absent: return "-";
    case CountSource::NotAnInteger: return "?";
    case CountSource::Written: break;
  }
  return std::to_string(row.count);
}

const char* State_Words(VersionState state) {
  switch (state) {
    case VersionState::Present: return "present";
    case VersionState::FolderMissing: return "no folder";
    case VersionState::FileMissing: return "no file";
    case VersionState::NotAFile: return "not a file";
  }
  return "";
}

void Append_Plan(std::string& out, const ServerReport& report, int plays) {
  out += "\nNext " + Plural(static_cast<std::size_t>(plays), "play") + " of each configured map, from a server start:\n";
  if (report.Configured_Maps() == 0) {
    out += "  none: no map has a count above 0\n";
    return;
  }
  bool failed_copy = false, nothing_copied = false;
  for (std::size_t row = 0; row < kMapCount; ++row) {
    const RowReport& map_row = report.rows[row];
    if (map_row.count <= 0) continue;
    std::string line = "  " + Padded(MapCatalogue[row].display_name, 14) +
                       Padded("(" + Plural(static_cast<std::size_t>(map_row.count), "version") + ")", 16);
    for (const PlannedPlay& play : Plan_Plays(map_row, plays)) {
      line += ' ';
      line += play.loaded == 0 ? "-" : std::to_string(play.loaded);
      if (play.loaded == 0) {
        nothing_copied = true;
      } else if (!play.as_planned) {
        line += '*';
        failed_copy = true;
      }
    }
    out += line + "\n";
  }
  if (failed_copy) out += "  *: the version meant for this play is missing; its copy fails and data keeps the one before\n";
  if (nothing_copied) out += "  -: no version was copied; the play loads whatever file data held already\n";
}

}  // namespace

std::string Describe_Versions(const RowReport& row) {
  std::string text;
  for (const VersionRange& range : row.versions) {
    if (!text.empty()) text += ", ";
    text += std::to_string(range.first);
    if (range.last != range.first) text += "-" + std::to_string(range.last);
    text += std::string(" ") + State_Words(range.state);
  }
  return text;
}

std::string Format_Report(const ServerReport& report, int plays) {
  std::string out = "Harvane check of " + report.folder + "\n\n";
  out += "  Harvane.ini  ";
  out += report.settings_found ? "found, " + Plural(report.general_entries, "entry", "entries") + " in [General]" : "MISSING";
  out += "\n  data         ";
  out += report.data_found ? "found" : "MISSING";
  out += "\n\n";

  std::size_t count_width = 5;
  for (const RowReport& row : report.rows) count_width = std::max(count_width, Count_Cell(row).size());
  out += "  Row  " + Padded("Map", 14) + Padded("Key", 12) + Right_Aligned("Count", count_width) + "  Version files\n";
  for (std::size_t row = 0; row < kMapCount; ++row) {
    const RowReport& map_row = report.rows[row];
    std::string line = "  " + Right_Aligned(std::to_string(row + 1), 3) + "  " + Padded(MapCatalogue[row].display_name, 14) +
                       Padded(MapCatalogue[row].key, 12) + Right_Aligned(Count_Cell(map_row), count_width);
    const std::string versions = Describe_Versions(map_row);
    if (!versions.empty()) line += "  " + versions;
    out += line + "\n";
  }

  if (plays > 0) Append_Plan(out, report, plays);

  out += "\n";
  if (report.findings.empty()) {
    out += "No problems found.\n";
  } else {
    out += "Findings:\n";
    for (const Finding& finding : report.findings) {
      out += std::string("  ") + (finding.severity == Severity::Error ? "error    " : "warning  ") + finding.text + "\n";
    }
  }

  std::int64_t present = 0, expected = 0;
  for (const RowReport& row : report.rows) {
    if (row.count <= 0) continue;
    present += row.Versions_In(VersionState::Present);
    expected += row.count;
  }
  const int configured = report.Configured_Maps();
  out += "\nSummary: " + Plural(static_cast<std::size_t>(configured), "map") + " configured, " + std::to_string(present) +
         " of " + std::to_string(expected) + " version files present, ";
  if (report.findings.empty()) {
    out += "no problems.\n";
  } else {
    out += Plural(report.Errors(), "error") + ", " + Plural(report.Warnings(), "warning") + ".\n";
  }
  return out;
}

}  // namespace harvane_check
