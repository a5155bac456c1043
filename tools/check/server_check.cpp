#include "check/server_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "check/file_system.h"
#include "check/key_suggestion.h"
#include "check/settings_reader.h"

namespace harvane_check {
namespace {

constexpr char kSettingsFileName[] = "Harvane.ini";
constexpr char kSection[] = "General";
constexpr char kDataFolder[] = "data";
// Beyond this many present versions of one map, their contents are not compared.
constexpr std::int32_t kMostVersionsCompared = 256;
// Folder names listed in one finding before "and N more".
constexpr std::size_t kMostNamesListed = 4;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Line(int line) { return "line " + std::to_string(line) + ": "; }

std::string Name_List(const std::vector<std::string>& names) {
  std::string text;
  const std::size_t shown = std::min(names.size(), kMostNamesListed);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) text += (i + 1 == names.size()) ? " and " : ", ";
    text += names[i];
  }
  if (shown < names.size()) text += " and " + std::to_string(names.size() - shown) + " more";
  return text;
}

std::string Version_Span(std::int32_t first, std::int32_t last) {
  return first == last ? "version " + std::to_string(first)
                       : "versions " + std::to_string(first) + "-" + std::to_string(last);
}

bool Starts_With(const std::string& text, const std::string& start, bool ignoring_case) {
  if (text.size() < start.size()) return false;
  return ignoring_case ? Same_Name_Ignoring_Case(std::string_view(text).substr(0, start.size()), start)
                       : text.compare(0, start.size(), start) == 0;
}

// The version a folder name gives after the key: decimal digits without a leading zero.
enum class VersionSuffix { None, LeadingZero, Version };
VersionSuffix Parse_Version_Suffix(const std::string& suffix, std::int32_t& version) {
  if (suffix.empty() || !std::all_of(suffix.begin(), suffix.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return VersionSuffix::None;
  }
  if (suffix[0] == '0') return VersionSuffix::LeadingZero;
  const std::optional<std::int32_t> parsed = Parse_Plain_Integer(suffix);
  if (!parsed) return VersionSuffix::None;  // beyond any count
  version = *parsed;
  return VersionSuffix::Version;
}

// The path the plug-in copies version `version` from, in this platform's form.
std::string Source_Path(const MapEntry& map, std::int32_t version) {
  char path[kSourcePathBufferSize];
  Format_Version_Source_Path(map, version, path);
  return Platform_Path(path);
}

std::string Folder_Of(const MapEntry& map, std::int32_t version) { return map.key + std::to_string(version); }

class Checker {
 public:
  explicit Checker(const std::string& folder) : names_(Folder_Names(folder)) { report_.folder = folder; }

  ServerReport Run() {
    Check_Settings_File();
    Check_Data_Folder();
    std::stable_sort(line_findings_.begin(), line_findings_.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    for (auto& [line, finding] : line_findings_) report_.findings.push_back(std::move(finding));
    for (std::size_t row = 0; row < kMapCount; ++row) Check_Versions(row);
    if (general_seen_ && report_.Configured_Maps() == 0) {
      Warn("no map has a count above 0: the plug-in will copy nothing");
    }
    return std::move(report_);
  }

 private:
  void Warn(std::string text) { report_.findings.push_back({Severity::Warning, std::move(text)}); }
  void Fail(std::string text) { report_.findings.push_back({Severity::Error, std::move(text)}); }
  void Warn_At(int line, std::string text) { line_findings_.push_back({line, {Severity::Warning, Line(line) + text}}); }
  void Fail_At(int line, std::string text) { line_findings_.push_back({line, {Severity::Error, Line(line) + text}}); }

  std::string In_Folder(const std::string& relative) const { return Joined(report_.folder, relative); }

  // Where names are case-sensitive, a name in `names` that differs from `wanted` only in
  // letter case: the usual reason a file that "is there" is not found.
  static std::string Case_Variant(const std::vector<std::string>& names, const std::string& wanted) {
    if (kNamesMatchIgnoringCase) return {};
    for (const std::string& name : names) {
      if (name != wanted && Same_Name_Ignoring_Case(name, wanted)) return name;
    }
    return {};
  }

  static std::string Case_Hint(const std::string& variant) {
    return variant.empty() ? std::string() : " (there is " + variant + ", but file names are case-sensitive here)";
  }

  void Check_Settings_File() {
    const std::string path = In_Folder(kSettingsFileName);
    switch (Kind_Of(path)) {
      case PathKind::Missing:
        Fail(std::string(kSettingsFileName) + " is missing: every count is 0 and the plug-in copies nothing" +
             Case_Hint(Case_Variant(names_, kSettingsFileName)));
        return;
      case PathKind::File:
        break;
      default:
        Fail(std::string(kSettingsFileName) + " is not a file: every count is 0 and the plug-in copies nothing");
        return;
    }
    const std::optional<std::string> text = Read_File(path);
    if (!text) {
      Fail(std::string(kSettingsFileName) + " cannot be read: every count is 0 and the plug-in copies nothing");
      return;
    }
    report_.settings_found = true;
    Read_Settings(Read_Settings_Text(*text));
  }

  void Read_Settings(const SettingsText& settings) {
    for (const SettingsSection& section : settings.sections) {
      const bool general = section.line > 0 && Same_Name_Ignoring_Case(section.name, kSection);
      if (general) {
        general_seen_ = true;
        if (section.name != kSection) {
          Warn_At(section.line, "[" + section.name + "] differs from [General] only in letter case; write [General]");
        }
        for (const SettingsEntry& entry : section.entries) Read_General_Entry(entry);
        continue;
      }
      const std::string where = section.line > 0 ? "in section [" + section.name + "]" : "before any section";
      for (const SettingsEntry& entry : section.entries) {
        if (Row_Of_Key(entry.key, true) >= 0) {
          Warn_At(entry.line, entry.key + " is " + where + " and is not read: the plug-in reads section [General] only");
        }
      }
    }
    for (const UnreadableLine& line : settings.unreadable_lines) {
      Warn_At(line.line, Quoted(line.text) + " is not a key=value entry and is ignored" + Entry_Hint(line.text));
    }
    if (!general_seen_) Warn(std::string(kSettingsFileName) + " has no section [General]: every count is 0");
  }

  // "Complex 3" or "Complex: 3" was most likely meant as "Complex=3".
  static std::string Entry_Hint(const std::string& text) {
    const std::size_t end = text.find_first_of(" \t:");
    if (end == std::string::npos) return {};
    const int row = Row_Of_Key(text.substr(0, end), true);
    const std::size_t value = text.find_first_not_of(" \t:", end);
    if (row < 0 || value == std::string::npos) return {};
    return "; did you mean " + Quoted(MapCatalogue[row].key + ("=" + text.substr(value))) + "?";
  }

  static int Row_Of_Key(const std::string& key, bool ignoring_case) {
    for (std::size_t row = 0; row < kMapCount; ++row) {
      const char* catalogue_key = MapCatalogue[row].key;
      if (ignoring_case ? Same_Name_Ignoring_Case(key, catalogue_key) : key == catalogue_key) {
        return static_cast<int>(row);
      }
    }
    return -1;
  }

  void Read_General_Entry(const SettingsEntry& entry) {
    ++report_.general_entries;
    int row = Row_Of_Key(entry.key, false);
    if (row < 0) {
      row = Row_Of_Key(entry.key, true);
      if (row < 0) {
        std::string text = Quoted(entry.key) + " is not a map key and is not read";
        if (const MapEntry* nearest = Nearest_Map_Key(entry.key)) text += "; did you mean " + Quoted(nearest->key) + "?";
        Warn_At(entry.line, text);
        return;
      }
      const std::string key = MapCatalogue[row].key;
      Warn_At(entry.line, Quoted(entry.key) + " differs from the key " + Quoted(key) +
                              " only in letter case; write it " + Quoted(key) + " (counted here as " + key + ")");
    }
    const MapEntry& map = MapCatalogue[row];
    RowReport& report = report_.rows[static_cast<std::size_t>(row)];
    if (report.line != 0) {
      Warn_At(entry.line, std::string(map.key) + " is set again; only the first entry (line " +
                              std::to_string(report.line) + ") is read");
      return;
    }
    report.line = entry.line;
    report.written_key = entry.key;
    report.written_value = entry.value;
    const std::string written = entry.key + "=" + entry.value;
    const std::optional<std::int32_t> count = Parse_Plain_Integer(entry.value);
    if (!count) {
      report.source = CountSource::NotAnInteger;
      Fail_At(entry.line, (entry.value.empty() ? map.key + std::string(" has no value") : written + " is not a plain whole number") +
                              ": what the server makes of it is not defined; write a count, as " + map.key + "=3");
      return;
    }
    report.source = CountSource::Written;
    report.count = *count;
    if (*count == 0) {
      Warn_At(entry.line, written + " is written out: " + map.map_file_name +
                              " is not rotated (leave the key out if that is meant)");
    } else if (*count < 0) {
      Warn_At(entry.line, written + " is below 0: " + map.map_file_name + " is not rotated, as with 0");
    } else if (*count == 1) {
      Warn_At(entry.line, written + ": version 1 is put into data at start-up and never rotated; a map rotates with 2 versions or more");
    }
  }

  void Check_Data_Folder() {
    switch (Kind_Of(In_Folder(kDataFolder))) {
      case PathKind::Folder:
        report_.data_found = true;
        return;
      case PathKind::Missing:
        Fail(std::string("the data folder is missing: the plug-in cannot stage Harvane.ini there, so every count reads as 0, "
                         "and every copy into data fails (copy error 3)") +
             Case_Hint(Case_Variant(names_, kDataFolder)));
        return;
      default:
        Fail("data is not a folder: the plug-in cannot stage Harvane.ini there, and every copy into data fails");
        return;
    }
  }

  struct VersionFolders {
    std::map<std::int32_t, std::string> exact;          // version -> folder name
    std::map<std::int32_t, std::string> case_variants;  // versions only a case variant names
    std::vector<std::string> leading_zeros;
  };

  VersionFolders Find_Version_Folders(const MapEntry& map) const {
    VersionFolders folders;
    const std::string key = map.key;
    for (const std::string& name : names_) {
      if (!Starts_With(name, key, true)) continue;
      std::int32_t version = 0;
      const VersionSuffix suffix = Parse_Version_Suffix(name.substr(key.size()), version);
      if (suffix == VersionSuffix::None || Kind_Of(In_Folder(name)) != PathKind::Folder) continue;
      const bool exact = kNamesMatchIgnoringCase || Starts_With(name, key, false);
      if (suffix == VersionSuffix::LeadingZero) {
        if (exact) folders.leading_zeros.push_back(name);
      } else if (exact) {
        folders.exact[version] = name;
      } else {
        folders.case_variants[version] = name;
      }
    }
    for (const auto& [version, name] : folders.exact) folders.case_variants.erase(version);
    return folders;
  }

  VersionState State_Of_File(const MapEntry& map, std::int32_t version) const {
    switch (Kind_Of(In_Folder(Source_Path(map, version)))) {
      case PathKind::File: return VersionState::Present;
      case PathKind::Missing: return VersionState::FileMissing;
      default: return VersionState::NotAFile;
    }
  }

  static void Append(std::vector<VersionRange>& ranges, std::int32_t first, std::int32_t last, VersionState state) {
    if (!ranges.empty() && ranges.back().state == state && ranges.back().last + 1 == first) {
      ranges.back().last = last;
    } else {
      ranges.push_back({first, last, state});
    }
  }

  void Check_Versions(std::size_t row) {
    const MapEntry& map = MapCatalogue[row];
    RowReport& report = report_.rows[row];
    const VersionFolders folders = Find_Version_Folders(map);
    const std::int32_t count = std::max<std::int32_t>(report.count, 0);

    std::int32_t next = 1;  // first version not yet placed in a range
    for (const auto& [version, name] : folders.exact) {
      if (version > count) break;
      if (version > next) Append(report.versions, next, version - 1, VersionState::FolderMissing);
      Append(report.versions, version, version, State_Of_File(map, version));
      next = version + 1;
    }
    if (count > 0 && next <= count) Append(report.versions, next, count, VersionState::FolderMissing);

    for (const VersionRange& range : report.versions) Report_Range(map, folders, range);
    Compare_Present_Files(map, report);
    Report_Unused_Folders(map, report, folders);
  }

  void Report_Range(const MapEntry& map, const VersionFolders& folders, const VersionRange& range) {
    const std::string what = std::string(map.key) + " " + Version_Span(range.first, range.last) + ": ";
    switch (range.state) {
      case VersionState::Present:
        for (std::int32_t version = range.first; version <= range.last; ++version) {
          const std::string path = Source_Path(map, version);
          const std::optional<std::string> content = Read_File(In_Folder(path));
          if (content && content->empty()) Warn(std::string(map.key) + " " + Version_Span(version, version) + ": " + path + " is empty");
        }
        return;
      case VersionState::FolderMissing: {
        std::vector<std::string> variants;
        for (auto found = folders.case_variants.lower_bound(range.first);
             found != folders.case_variants.end() && found->first <= range.last; ++found) {
          variants.push_back(found->second);
        }
        const std::string first = Folder_Of(map, range.first), last = Folder_Of(map, range.last);
        std::string text = what;
        if (range.first == range.last) {
          text += "folder " + first + " is missing";
        } else {
          text += "folders " + first + (range.last == range.first + 1 ? " and " : " to ") + last + " are missing";
        }
        text += " (copy error 3)";
        if (!variants.empty()) {
          text += variants.size() == 1 ? "; there is " : "; there are ";
          text += Name_List(variants) + ", but file names are case-sensitive here";
        }
        Fail(text);
        return;
      }
      case VersionState::FileMissing:
        for (std::int32_t version = range.first; version <= range.last; ++version) {
          Fail(std::string(map.key) + " " + Version_Span(version, version) + ": " + Source_Path(map, version) +
               " is missing (copy error 2)" + Folder_Content_Hint(map, version));
        }
        return;
      case VersionState::NotAFile:
        for (std::int32_t version = range.first; version <= range.last; ++version) {
          Fail(std::string(map.key) + " " + Version_Span(version, version) + ": " + Source_Path(map, version) +
               " is not a file (copy error 5)");
        }
        return;
    }
  }

  // What a version folder holds instead of the level file.
  std::string Folder_Content_Hint(const MapEntry& map, std::int32_t version) const {
    const std::string folder = Folder_Of(map, version);
    const std::vector<std::string> names = Folder_Names(In_Folder(folder));
    if (names.empty()) return "; " + folder + " is empty";
    const std::string variant = Case_Variant(names, map.level_file_name);
    if (!variant.empty()) return "; " + folder + " holds " + variant + ", but file names are case-sensitive here";
    std::vector<std::string> level_files;
    for (const std::string& name : names) {
      if (name.size() > 4 && Same_Name_Ignoring_Case(std::string_view(name).substr(name.size() - 4), ".ldd")) {
        level_files.push_back(name);
      }
    }
    if (level_files.empty()) return {};
    return "; " + folder + " holds " + Name_List(level_files) + " (copied from another map?)";
  }

  // Versions whose files are the same bytes: the rotation changes nothing between them.
  void Compare_Present_Files(const MapEntry& map, const RowReport& report) {
    if (report.count < 2) return;
    const std::int32_t present = report.Versions_In(VersionState::Present);
    if (present < 2 || present > kMostVersionsCompared) return;
    std::map<std::string, std::vector<std::int32_t>> versions_by_content;
    for (const VersionRange& range : report.versions) {
      if (range.state != VersionState::Present) continue;
      for (std::int32_t version = range.first; version <= range.last; ++version) {
        if (std::optional<std::string> content = Read_File(In_Folder(Source_Path(map, version)))) {
          versions_by_content[std::move(*content)].push_back(version);
        }
      }
    }
    std::vector<std::vector<std::int32_t>> same;
    for (auto& [content, versions] : versions_by_content) {
      if (versions.size() > 1) same.push_back(std::move(versions));
    }
    std::sort(same.begin(), same.end());
    for (const std::vector<std::int32_t>& versions : same) {
      std::vector<std::string> paths;
      for (std::int32_t version : versions) paths.push_back(Source_Path(map, version));
      Warn(std::string(map.key) + ": " + Name_List(paths) + " are the same file, so the rotation changes nothing between them");
    }
  }

  void Report_Unused_Folders(const MapEntry& map, const RowReport& report, const VersionFolders& folders) {
    if (!folders.leading_zeros.empty()) {
      Warn(std::string(map.key) + ": " + Name_List(folders.leading_zeros) +
           (folders.leading_zeros.size() == 1 ? " is not a version folder" : " are not version folders") +
           ": the version follows the key without leading zeros, as " + Folder_Of(map, 1));
    }
    if (!report_.settings_found) return;
    std::vector<std::string> unused;
    for (auto found = folders.exact.upper_bound(std::max<std::int32_t>(report.count, 0)); found != folders.exact.end(); ++found) {
      unused.push_back(found->second);
    }
    if (unused.empty()) return;
    if (report.source == CountSource::Absent) {
      Warn(std::string(map.key) + ": there " + (unused.size() == 1 ? "is " : "are ") + Name_List(unused) +
           " but Harvane.ini does not set " + map.key + ", so " + map.map_file_name + " is not rotated");
    } else if (report.count > 0) {
      Warn(std::string(map.key) + ": " + Name_List(unused) + (unused.size() == 1 ? " is" : " are") +
           " never used, since " + map.key + "=" + std::to_string(report.count));
    }
    // A count written as 0, below 0 or not a number has a finding of its own already.
  }

  std::vector<std::string> names_;  // of the server folder
  ServerReport report_;
  std::vector<std::pair<int, Finding>> line_findings_;
  bool general_seen_ = false;
};

}  // namespace

bool RowReport::Version_Present(std::int32_t version) const {
  for (const VersionRange& range : versions) {
    if (version >= range.first && version <= range.last) return range.state == VersionState::Present;
  }
  return false;
}

std::int32_t RowReport::Versions_In(VersionState state) const {
  std::int64_t total = 0;
  for (const VersionRange& range : versions) {
    if (range.state == state) total += static_cast<std::int64_t>(range.last) - range.first + 1;
  }
  return static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX));
}

std::size_t ServerReport::Errors() const {
  return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(),
                                                [](const Finding& finding) { return finding.severity == Severity::Error; }));
}

std::size_t ServerReport::Warnings() const { return findings.size() - Errors(); }

int ServerReport::Configured_Maps() const {
  return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const RowReport& row) { return row.count > 0; }));
}

int ServerReport::Exit_Status() const {
  if (Errors() > 0) return 2;
  return Warnings() > 0 ? 1 : 0;
}

ServerReport Check_Server_Folder(const std::string& folder) { return Checker(folder).Run(); }

}  // namespace harvane_check
