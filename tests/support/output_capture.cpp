#include "output_capture.h"

#include <unistd.h>

#include <stdexcept>

OutputCapture::OutputCapture(std::FILE* stream) : stream_(stream) {
  std::fflush(stream_);
  saved_fd_ = ::dup(::fileno(stream_));
  sink_ = std::tmpfile();
  if (saved_fd_ < 0 || sink_ == nullptr) throw std::runtime_error("cannot capture output");
  ::dup2(::fileno(sink_), ::fileno(stream_));
}

OutputCapture::~OutputCapture() {
  std::fflush(stream_);
  ::dup2(saved_fd_, ::fileno(stream_));
  ::close(saved_fd_);
  std::fclose(sink_);
}

std::string OutputCapture::Take() {
  std::fflush(stream_);
  std::string text;
  char buffer[4096];
  const long end = ::lseek(::fileno(sink_), 0, SEEK_END);
  for (long at = taken_; at < end;) {
    const ssize_t got = ::pread(::fileno(sink_), buffer, sizeof buffer, at);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
  taken_ = end;
  return text;
}
