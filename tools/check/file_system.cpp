#include "check/file_system.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace harvane_check {

PathKind Kind_Of(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return PathKind::Missing;
  if (S_ISREG(status.st_mode)) return PathKind::File;
  if (S_ISDIR(status.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

std::vector<std::string> Folder_Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> Read_File(const std::string& path) {
  // C streams rather than iostreams: the Windows program stays a fraction of the size.
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string content;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return content;
}

std::string Platform_Path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', kSeparator);
  return path;
}

std::string Joined(const std::string& folder, const std::string& relative) {
  if (folder.empty() || folder == ".") return relative;
  const char last = folder.back();
  if (last == '/' || last == kSeparator) return folder + relative;
  return folder + kSeparator + relative;
}

}  // namespace harvane_check
