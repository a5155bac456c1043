#include "gamelog/game_log_writer.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/console.h"
#include "common/format_string.h"
#include "common/host_string.h"

namespace {

const void* host_settings = nullptr;

const char kGameLogHeader[] = "_GAMELOG";

bool Flag_At(std::size_t offset) { return static_cast<const unsigned char*>(host_settings)[offset] != 0; }

// The stem's characters, in place while its capacity is below 16, else through its pointer.
const char* Log_File_Stem() {
  HostString stem;
  std::memcpy(&stem, static_cast<const char*>(host_settings) + kLogFileStemOffset, sizeof stem);
  if (!Host_String_On_Heap(stem)) {
    return static_cast<const char*>(host_settings) + kLogFileStemOffset + offsetof(HostString, buffer);
  }
  const char* chars = Host_String_Chars(stem);
  return chars ? chars : "";
}

std::tm Local_Time_Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* converted = std::localtime(&now)) local = *converted;
  return local;
}

}  // namespace

void Keep_Host_Settings(const void* settings) { host_settings = settings; }

const void* Host_Settings() { return host_settings; }

const char* Format_Log_Date(std::int32_t month, std::int32_t day, std::int32_t year) {
  static char date[25];
  // Any three 32-bit values would need 35 characters and are cut to fit; a calendar
  // date takes at most 10.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif
  std::snprintf(date, sizeof date, "%d-%d-%04d", month, day, year);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  return date;
}

void GameLogWriter(const char* message, const char* header) {
  // Without the host's settings record there are no switches and no stem: write nothing.
  if (host_settings == nullptr) return;
  const bool is_game_log_line = std::strcmp(header, kGameLogHeader) == 0;
  if (!Flag_At(kWriteAllHeadersOffset) && !is_game_log_line) return;

  const std::tm today = Local_Time_Now();
  const FormattedText file_name = Format_String(
      "%s_%s.txt", Log_File_Stem(), Format_Log_Date(today.tm_mon + 1, today.tm_mday, today.tm_year + 1900));
  // Text mode, shared with other readers and writers; a file that cannot be opened
  // gets nothing and nothing is reported.
  std::FILE* log = std::fopen(file_name.c_str(), "a");

  const std::tm now = Local_Time_Now();
  if (Flag_At(kEchoToConsoleOffset) && !is_game_log_line) Console_Print("%s\n", message);

  if (log == nullptr) return;
  const FormattedText line =
      Format_String("[%02d:%02d:%02d] %s %s", now.tm_hour, now.tm_min, now.tm_sec, header, message);
  std::fprintf(log, "%s\n", line.c_str());
  std::fflush(log);
  std::fclose(log);
}
