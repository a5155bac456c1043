#pragma once

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>

constexpr std::size_t kFormatBufferSize = 2048;

// A formatted text in a buffer of its own. It takes no heap block: the host's allocator
// may answer null, and nothing that forms a path or a message may fail for that.
class FormattedText {
 public:
  FormattedText() { text_[0] = '\0'; }
  const char* c_str() const { return text_; }
  std::size_t size() const { return std::strlen(text_); }
  char* Buffer() { return text_; }

  // For callers outside the plug-in (tools, tests).
  operator std::string() const { return text_; }
  friend bool operator==(const FormattedText& text, const char* other) { return std::strcmp(text.text_, other) == 0; }
  friend bool operator==(const FormattedText& text, const std::string& other) { return other == text.text_; }
  friend std::ostream& operator<<(std::ostream& out, const FormattedText& text) { return out << text.text_; }

 private:
  char text_[kFormatBufferSize];
};

// Formats into a 2048-byte buffer; a longer text is cut to 2047 characters.
FormattedText Format_String(const char* format, ...) __attribute__((format(printf, 1, 2)));
