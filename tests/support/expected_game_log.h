// Where the host's dated game log is written, as the tests expect it: the host's stem, an
// underscore, the local date as month-day-year without leading zeros, ".txt".
#pragma once

#include <ctime>
#include <string>

inline std::string Log_Date(const std::tm& local) {
  return std::to_string(local.tm_mon + 1) + "-" + std::to_string(local.tm_mday) + "-" +
         std::to_string(local.tm_year + 1900);
}

// Today's log file for `stem`, relative to the server folder.
inline std::string Today_Log_File(const std::string& stem) {
  const std::time_t now = std::time(nullptr);
  return stem + "_" + Log_Date(*std::localtime(&now)) + ".txt";
}
