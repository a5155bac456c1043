// Small helpers shared by the unit tests that drive the plug-in's logic against the
// substitute host: attach to a chosen build, capture the console, list a folder (the
// expected console texts are in expected_console.h).
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/host_binding.h"
#include "output_capture.h"
#include "substitute_host.h"

// Maps the host image with the code signature of `build` and delivers the attach notice,
// as the system loader does when the server loads the plug-in. Once per process.
inline void Attach_To_Host(std::int32_t build = 0) {
  substitute_host::Map_Host_Image(substitute_host::Layout{{build}, 0});
  DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
}

// Everything the console (standard output) showed while `action` ran, byte for byte.
// Assertions belong after the capture has ended, so their messages stay visible.
inline std::string Console_Of(const std::function<void()>& action) {
  OutputCapture capture(stdout);
  action();
  return capture.Take();
}

// The names in a folder, sorted, without "." and "..". The 64-bit entry reader keeps the
// 32-bit build working on file systems with large inode numbers.
inline std::vector<std::string> Folder_Entries(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) {
    ADD_FAILURE() << "cannot list " << path;
    return names;
  }
  for (;;) {
    errno = 0;
    const dirent64* entry = ::readdir64(folder);
    if (entry == nullptr) {
      if (errno != 0) ADD_FAILURE() << "cannot read " << path << ": errno " << errno;
      break;
    }
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}
