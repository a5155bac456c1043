#include "server_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "file_bytes.h"

namespace {

void Make_Folders_For(const std::string& path) {
  for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  }
}

void Remove_Tree(const std::string& path) {
  const std::string command = "rm -rf '" + path + "'";
  if (std::system(command.c_str()) != 0) {
    // Leaving a temporary folder behind is not worth failing a test for.
  }
}

}  // namespace

ServerFolder::ServerFolder() {
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd) != nullptr) previous_folder_ = cwd;
  char pattern[] = "/tmp/harvane-server-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot create a server folder");
  path_ = pattern;
  if (::chdir(path_.c_str()) != 0) throw std::runtime_error("cannot enter the server folder");
  ::mkdir("data", 0755);
}

ServerFolder::~ServerFolder() {
  if (!previous_folder_.empty() && ::chdir(previous_folder_.c_str()) != 0) {
    // The folder is removed all the same.
  }
  ::chmod((path_ + "/data").c_str(), 0755);
  Remove_Tree(path_);
}

void ServerFolder::Write(const std::string& relative_path, const std::string& content) const {
  const std::string full = path_ + "/" + relative_path;
  Make_Folders_For(full);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ServerFolder::Read(const std::string& relative_path) const {
  return File_Bytes(path_ + "/" + relative_path);
}

bool ServerFolder::Exists(const std::string& relative_path) const {
  struct stat status {};
  return ::stat((path_ + "/" + relative_path).c_str(), &status) == 0;
}

void ServerFolder::Remove(const std::string& relative_path) const { ::unlink((path_ + "/" + relative_path).c_str()); }

void ServerFolder::Write_Versions(const std::string& key, const std::string& level_file, int versions) const {
  for (int version = 1; version <= versions; ++version) {
    Write(key + std::to_string(version) + "/" + level_file, Version_Content(key, version));
  }
}

void ServerFolder::Write_Settings(const std::vector<std::pair<std::string, std::string>>& general) const {
  std::string text = "[General]\n";
  for (const auto& [key, value] : general) text += key + "=" + value + "\n";
  Write("Harvane.ini", text);
}

