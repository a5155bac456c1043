// Time-stamped lines in the host's dated game log, gated and echoed by the host's switches.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the host's settings record holds what the game log reads.
constexpr std::size_t kWriteAllHeadersOffset = 150;
constexpr std::size_t kEchoToConsoleOffset = 151;
constexpr std::size_t kLogFileStemOffset = 196;  // a HostString

// The host's settings record, handed over at plug-in load; null until then.
void Keep_Host_Settings(const void* host_settings);
const void* Host_Settings();

// "%d-%d-%04d" (month, day, year) in one static buffer that every call overwrites.
const char* Format_Log_Date(std::int32_t month, std::int32_t day, std::int32_t year);

void GameLogWriter(const char* message, const char* header);
