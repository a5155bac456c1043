#include "common/format_string.h"

#include <cstdarg>
#include <cstdio>

FormattedText Format_String(const char* format, ...) {
  FormattedText text;
  va_list values;
  va_start(values, format);
  // The bounded formatter never writes past the buffer and always terminates it, so an
  // over-long text comes out cut, not overflowing.
  const int written = std::vsnprintf(text.Buffer(), kFormatBufferSize, format, values);
  va_end(values);
  if (written < 0) text.Buffer()[0] = '\0';
  return text;
}
