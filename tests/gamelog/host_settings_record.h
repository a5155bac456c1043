// The host's settings record as the host lays it out, as far as the game log reads it:
// two switch bytes and the log file stem, a HostString (bookkeeping word, 16 bytes of
// characters or a pointer-sized pointer to a heap block, length, capacity).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "common/host_string.h"
#include "gamelog/game_log_writer.h"

class HostSettingsRecord {
 public:
  HostSettingsRecord(bool write_all_headers, bool echo_to_console, const std::string& stem) {
    std::memset(bytes_, 0x5A, sizeof bytes_);  // the host's other fields: anything
    bytes_[kWriteAllHeadersOffset] = write_all_headers ? 1 : 0;
    bytes_[kEchoToConsoleOffset] = echo_to_console ? 1 : 0;
    Set_Stem(stem);
  }
  HostSettingsRecord(const HostSettingsRecord&) = delete;
  HostSettingsRecord& operator=(const HostSettingsRecord&) = delete;

  // Up to 15 characters are held in place; longer stems in a block of their own with
  // `heap_capacity` (at least the length) as capacity.
  void Set_Stem(const std::string& stem, std::uint32_t heap_capacity = 0) {
    unsigned char* field = bytes_ + kLogFileStemOffset;
    const std::uint32_t length = static_cast<std::uint32_t>(stem.size());
    std::uint32_t capacity = kHostStringInPlaceCapacity;
    std::memset(field + 4, 0x77, 16);  // whatever the host left behind the characters
    if (length <= kHostStringInPlaceCapacity && heap_capacity == 0) {
      std::memcpy(field + 4, stem.c_str(), stem.size() + 1);
    } else {
      capacity = heap_capacity > length ? heap_capacity : length;
      heap_block_.assign(capacity + 1, '\x66');
      std::memcpy(&heap_block_[0], stem.c_str(), stem.size() + 1);
      const char* block = heap_block_.data();
      std::memcpy(field + 4, &block, sizeof block);
    }
    std::memcpy(field + 20, &length, sizeof length);
    std::memcpy(field + 24, &capacity, sizeof capacity);
  }

  void* Address() { return bytes_; }

 private:
  alignas(8) unsigned char bytes_[kLogFileStemOffset + sizeof(HostString) + 32];
  std::string heap_block_;
};
