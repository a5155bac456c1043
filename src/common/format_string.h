#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t kFormatBufferSize = 2048;

// Formats into a 2048-byte buffer; a longer text is cut to 2047 characters.
std::string Format_String(const char* format, ...) __attribute__((format(printf, 1, 2)));
