// A file's bytes as they are on disk, for the tests, the soak and the fuzzers alike.
#pragma once

#include <cstdio>
#include <string>

// Bytes of a file, or "" when it cannot be read.
inline std::string File_Bytes(const std::string& path) {
  std::string bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}
