// The little the checker asks of the file system, on Windows and Linux alike.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace harvane_check {

// Windows file names match regardless of letter case; Linux ones do not.
#ifdef _WIN32
constexpr bool kNamesMatchIgnoringCase = true;
constexpr char kSeparator = '\\';
#else
constexpr bool kNamesMatchIgnoringCase = false;
constexpr char kSeparator = '/';
#endif

enum class PathKind { Missing, File, Folder, Other };

PathKind Kind_Of(const std::string& path);
// The names in a folder (no "." or ".."), sorted; empty when it cannot be read.
std::vector<std::string> Folder_Names(const std::string& folder);
// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> Read_File(const std::string& path);

// A path written with backslashes (the plug-in's form) in this platform's form.
std::string Platform_Path(std::string path);
// `folder` and a relative path joined with this platform's separator; "." stays out.
std::string Joined(const std::string& folder, const std::string& relative);

}  // namespace harvane_check
