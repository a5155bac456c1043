#include "common/console.h"

#include <cstdarg>
#include <cstdio>

void Console_Print(const char* format, ...) {
  va_list values;
  va_start(values, format);
  std::vprintf(format, values);
  va_end(values);
  std::fflush(stdout);
}
