// Reads a fuzz input from the front: bytes, little-endian integers, lengths and byte runs.
// Past the end every read yields zeros (or nothing), so any input is a valid one and the
// seed files can be written by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  std::uint16_t Uint16() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }

  std::int32_t Int32() {
    std::uint32_t value = 0;
    for (int byte = 0; byte < 4; ++byte) value |= static_cast<std::uint32_t>(Byte()) << (8 * byte);
    return static_cast<std::int32_t>(value);
  }

  // Up to `count` bytes: fewer where the input ends.
  std::string Bytes(std::size_t count) {
    const std::size_t taken = count < size_ - at_ ? count : size_ - at_;
    std::string bytes(reinterpret_cast<const char*>(data_ + at_), taken);
    at_ += taken;
    return bytes;
  }

  // The rest of the input.
  std::string Rest() { return Bytes(size_ - at_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A broken expectation is a crash: libFuzzer keeps the input that caused it.
#define FUZZ_CHECK(condition, ...)                                                 \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                           \
      std::fprintf(stderr, "\n");                                                  \
      std::abort();                                                                \
    }                                                                              \
  } while (false)
