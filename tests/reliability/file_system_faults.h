// Real file-system situations that make a file copy fail, each with the Windows error code
// the copy reports for it. No switch in the product: the situations are made on disk.
#pragma once

#include <sys/types.h>

#include <string>

#include "file_bytes.h"  // File_Bytes, to show a file was left untouched
#include "server_folder.h"

// A program that runs while it lives: a private copy of a small system program, executed
// and kept waiting. A running program's file cannot be opened for writing (ETXTBSY).
class RunningProgram {
 public:
  // Copies the program to `path` (inside the server folder) and starts it.
  explicit RunningProgram(const std::string& path);
  ~RunningProgram();  // ends the program this object started, by its id
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  const std::string& Path() const { return path_; }
  bool Started() const { return pid_ > 0; }

 private:
  std::string path_;
  pid_t pid_ = -1;
};

// Gives up the rights that let the super-user write into read-only files and folders
// (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER), for this process only, so permission
// bits stop it as they stop the server's account. True when permission bits now hold.
bool Obey_Permission_Bits();

// True when `path` is a symbolic link whose target reads `target`.
bool Is_Link_To(const std::string& path, const std::string& target);
bool Is_Directory(const std::string& path);
