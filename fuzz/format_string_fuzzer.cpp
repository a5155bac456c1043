// Format_String with every format the plug-in forms its paths, messages and log lines with,
// fed texts of any length (around 2048 and far beyond) and any integers. Whatever the
// values, the result is the whole formatted text cut to 2047 characters: nothing is read or
// written past the 2048-byte buffer (AddressSanitizer watches), nothing is lost below it.
// Format_Log_Date's 25-byte buffer is held to the same rule with 24 characters.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/format_string.h"
#include "fuzz_input.h"
#include "gamelog/game_log_writer.h"

namespace {

// A text argument: a length near the limits or anywhere up to far past them; no zero bytes,
// so the length is the one chosen.
std::string Text(FuzzInput& input) {
  static constexpr std::size_t kNearLimits[] = {0, 1, 15, 16, 2030, 2040, 2045, 2046, 2047, 2048, 2049, 2050,
                                                2060, 4094, 4095, 4096, 4097, 8192};
  const std::uint8_t choice = input.Byte();
  std::size_t length;
  if (choice < 160) {
    length = kNearLimits[choice % (sizeof kNearLimits / sizeof kNearLimits[0])];
  } else {
    length = input.Uint16() % 20000;
  }
  std::string text = input.Bytes(length);
  for (char& c : text) {
    if (c == '\0') c = '0';
  }
  while (text.size() < length) text += static_cast<char>('A' + text.size() % 26);
  return text;
}

__attribute__((format(printf, 1, 2))) std::string Whole(const char* format, ...) {
  va_list values;
  va_start(values, format);
  va_list again;
  va_copy(again, values);
  const int length = std::vsnprintf(nullptr, 0, format, values);
  va_end(values);
  std::vector<char> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, again);
  va_end(again);
  return std::string(buffer.data(), buffer.size() - 1);
}

void Expect_Cut(const FormattedText& formatted, const std::string& whole, std::size_t limit, const char* format) {
  const std::string expected = whole.substr(0, limit);
  const std::string got = formatted.c_str();
  FUZZ_CHECK(got == expected && formatted.size() == expected.size(),
             "format \"%s\": %zu characters came out, expected the first %zu of %zu", format, got.size(),
             expected.size(), whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  constexpr std::size_t kLimit = kFormatBufferSize - 1;
  const std::uint8_t which = input.Byte();
  const std::string a = Text(input), b = Text(input);
  const std::int32_t i = input.Int32(), j = input.Int32(), k = input.Int32();
  // The formats are spelled out: the compiler checks each against its values.
  switch (which % 12) {
    case 0: Expect_Cut(Format_String("%s", a.c_str()), Whole("%s", a.c_str()), kLimit, "%s"); break;
    case 1:
      Expect_Cut(Format_String("%s%s", a.c_str(), b.c_str()), Whole("%s%s", a.c_str(), b.c_str()), kLimit, "%s%s");
      break;
    case 2:
      Expect_Cut(Format_String("./data/%s", a.c_str()), Whole("./data/%s", a.c_str()), kLimit, "./data/%s");
      break;
    case 3: Expect_Cut(Format_String("./%s", a.c_str()), Whole("./%s", a.c_str()), kLimit, "./%s"); break;
    case 4: Expect_Cut(Format_String("TEMP%s", a.c_str()), Whole("TEMP%s", a.c_str()), kLimit, "TEMP%s"); break;
    case 5:
      Expect_Cut(Format_String("New settings detected and loaded from %s!", a.c_str()),
                 Whole("New settings detected and loaded from %s!", a.c_str()), kLimit, "notice");
      break;
    case 6:
      Expect_Cut(Format_String("%s_%s.txt", a.c_str(), b.c_str()), Whole("%s_%s.txt", a.c_str(), b.c_str()), kLimit,
                 "%s_%s.txt");
      break;
    case 7:
      Expect_Cut(Format_String("[%02d:%02d:%02d] %s %s", i, j, k, a.c_str(), b.c_str()),
                 Whole("[%02d:%02d:%02d] %s %s", i, j, k, a.c_str(), b.c_str()), kLimit, "log line");
      break;
    case 8:
      Expect_Cut(Format_String("%s%i%s", a.c_str(), i, b.c_str()), Whole("%s%i%s", a.c_str(), i, b.c_str()), kLimit,
                 "%s%i%s");
      break;
    case 9: Expect_Cut(Format_String("data\\%s", a.c_str()), Whole("data\\%s", a.c_str()), kLimit, "data\\%s"); break;
    case 10:
      Expect_Cut(Format_String("%s%s%s%s", a.c_str(), b.c_str(), a.c_str(), b.c_str()),
                 Whole("%s%s%s%s", a.c_str(), b.c_str(), a.c_str(), b.c_str()), kLimit, "%s%s%s%s");
      break;
    default: {
      // The log date: any three integers, in a 25-byte buffer.
      const std::string date = Format_Log_Date(i, j, k);
      const std::string whole = Whole("%d-%d-%04d", i, j, k);
      FUZZ_CHECK(date == whole.substr(0, 24), "log date \"%s\", expected the first 24 of \"%s\"", date.c_str(),
                 whole.c_str());
      break;
    }
  }
  return 0;
}
