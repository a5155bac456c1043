// A temporary server folder that becomes the current folder: Harvane.ini, version folders
// and data/ are laid out relative to it, as the plug-in expects.
#pragma once

#include <string>
#include <vector>

class ServerFolder {
 public:
  ServerFolder();  // creates the folder with an empty data/, and enters it
  ~ServerFolder();
  ServerFolder(const ServerFolder&) = delete;
  ServerFolder& operator=(const ServerFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Writes a file (folders on the way are created); relative to the server folder.
  void Write(const std::string& relative_path, const std::string& content) const;
  std::string Read(const std::string& relative_path) const;  // "" when absent
  bool Exists(const std::string& relative_path) const;
  void Remove(const std::string& relative_path) const;
  // Writes "<key><n>/<level file>" holding "<key> v<n>" for n = 1..versions.
  void Write_Versions(const std::string& key, const std::string& level_file, int versions) const;
  // Harvane.ini with [General] and the given key=value lines.
  void Write_Settings(const std::vector<std::pair<std::string, std::string>>& general) const;

 private:
  std::string path_;
  std::string previous_folder_;
};

// The content Write_Versions gives version n of a key.
inline std::string Version_Content(const std::string& key, int version) {
  return key + " v" + std::to_string(version) + "\n";
}
