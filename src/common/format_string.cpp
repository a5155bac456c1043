#include "common/format_string.h"

#include <cstdarg>
#include <cstdio>

std::string Format_String(const char* format, ...) {
  char buffer[kFormatBufferSize];
  va_list values;
  va_start(values, format);
  // The bounded formatter never writes past the buffer and always terminates it, so an
  // over-long text comes out cut, not overflowing.
  int written = std::vsnprintf(buffer, sizeof buffer, format, values);
  va_end(values);
  if (written < 0) buffer[0] = '\0';
  return std::string(buffer);
}
