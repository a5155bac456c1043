// Captures what the process writes on one of its standard streams (by file descriptor, so
// output of a loaded library is caught as well).
#pragma once

#include <cstdio>
#include <string>

class OutputCapture {
 public:
  explicit OutputCapture(std::FILE* stream);
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  // Everything written since the capture began (or since the last Take).
  std::string Take();

 private:
  std::FILE* stream_;
  int saved_fd_;
  std::FILE* sink_;
  long taken_ = 0;
};
