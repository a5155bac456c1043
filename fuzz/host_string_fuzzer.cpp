// HostString assignment of every length around the in-place/heap boundary (15/16) and far
// beyond, onto strings in place and on the heap, parts of itself included, with the host's
// allocator answering null on request. Each step is checked against what the layout promises:
// the characters and their terminating zero where the capacity says, the length, a capacity
// that grows only when it must (and then to the length), the bookkeeping word untouched, and
// exactly one host block held while on the heap, none after.
#include <cstdint>
#include <cstring>
#include <string>

#include "common/host_string.h"
#include "fuzz_input.h"
#include "host/host_binding.h"
#include "substitute_host.h"

namespace {

constexpr std::uint32_t kBookkeeping = 0x5AC3E1A7u;
std::size_t blocks_at_start = 0;

// Lengths around the boundary come often; some go far past it.
std::size_t Length_Of(FuzzInput& input) {
  static constexpr std::size_t kNearBoundary[] = {0, 1, 2, 14, 15, 16, 17, 18, 30, 31, 32, 33, 63, 64, 65};
  const std::uint8_t choice = input.Byte();
  if (choice < 128) return kNearBoundary[choice % (sizeof kNearBoundary / sizeof kNearBoundary[0])];
  if (choice < 224) return choice % 48;
  return input.Uint16() % 5000;
}

// `length` characters: the input's bytes (zero bytes included), then a pattern.
std::string Characters(FuzzInput& input, std::size_t length) {
  std::string text = input.Bytes(length);
  while (text.size() < length) text += static_cast<char>('a' + text.size() % 26);
  return text;
}

char* Block_Of(const HostString& text) {
  char* block = nullptr;
  std::memcpy(&block, text.buffer, sizeof block);
  return block;
}

struct Expected {
  std::string value;
  std::uint32_t capacity = kHostStringInPlaceCapacity;
  char* block = nullptr;  // the heap block while on the heap
};

void Check(const HostString& text, const Expected& expected, const char* step) {
  FUZZ_CHECK(text.bookkeeping == kBookkeeping, "%s: the bookkeeping word was written", step);
  FUZZ_CHECK(text.length == expected.value.size(), "%s: length %u, expected %zu", step, text.length,
             expected.value.size());
  FUZZ_CHECK(text.capacity == expected.capacity, "%s: capacity %u, expected %u", step, text.capacity,
             expected.capacity);
  const bool on_heap = expected.capacity > kHostStringInPlaceCapacity;
  FUZZ_CHECK(Host_String_On_Heap(text) == on_heap, "%s: in place and on the heap confused", step);
  const char* chars = Host_String_Chars(text);
  FUZZ_CHECK(chars == (on_heap ? expected.block : text.buffer), "%s: the characters are not where they should be",
             step);
  FUZZ_CHECK(std::memcmp(chars, expected.value.data(), expected.value.size()) == 0 && chars[text.length] == '\0',
             "%s: characters differ or are not terminated", step);
  FUZZ_CHECK(Host_String_Value(text) == expected.value, "%s: value differs", step);
  const substitute_host::AllocatorReport host = substitute_host::Allocator_Report();
  FUZZ_CHECK(host.foreign_releases == 0, "%s: a block went back that the host never gave", step);
  FUZZ_CHECK(host.live_blocks == blocks_at_start + (on_heap ? 1 : 0), "%s: %zu live host blocks, expected %zu",
             step, host.live_blocks, blocks_at_start + (on_heap ? 1 : 0));
}

// Assigning `chars`: in the storage there is when it fits, else in a new block of exactly
// that capacity; when the host has no block, the string stays as it was.
void Expect_Assigned(Expected& expected, const std::string& chars, bool host_yields_null) {
  if (chars.size() <= expected.capacity) {
    expected.value = chars;
  } else if (!host_yields_null) {
    expected.value = chars;
    expected.capacity = static_cast<std::uint32_t>(chars.size());
    expected.block = nullptr;  // learnt after the call
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  substitute_host::Map_Host_Image(substitute_host::Layout{{0}, 0});
  substitute_host::Record_Requested_Sizes(false);  // millions of requests: counts only
  DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  blocks_at_start = substitute_host::Allocator_Report().live_blocks;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  HostString text;
  std::memset(&text, 0x3C, sizeof text);  // whatever lies behind the terminator
  text.bookkeeping = kBookkeeping;
  text.buffer[0] = '\0';
  text.length = 0;
  text.capacity = kHostStringInPlaceCapacity;
  Expected expected;

  for (int step = 0; step < 32 && !input.Empty(); ++step) {
    const std::uint8_t operation = input.Byte();
    const bool host_yields_null = (operation & 0x80) != 0;
    if (host_yields_null) substitute_host::Yield_Null_After(1);
    const char* step_name = "";
    switch (operation % 4) {
      case 0: {
        step_name = "assign";
        const std::string chars = Characters(input, Length_Of(input));
        const bool grows = chars.size() > expected.capacity;
        Host_String_Assign(text, chars.data(), chars.size());
        Expect_Assigned(expected, chars, host_yields_null);
        if (grows && !host_yields_null) expected.block = Block_Of(text);
        break;
      }
      case 1: {
        step_name = "assign a part of itself";
        const std::size_t length = expected.value.size();
        const std::size_t offset = input.Uint16() % (length + 1);
        const std::size_t count = input.Uint16() % (length - offset + 1);
        Host_String_Assign(text, Host_String_Chars(text) + offset, count);
        Expect_Assigned(expected, expected.value.substr(offset, count), host_yields_null);
        break;
      }
      case 2: {
        step_name = "assign up to a zero byte";
        std::string chars = Characters(input, Length_Of(input));
        const bool grows = std::strlen(chars.c_str()) > expected.capacity;
        Host_String_Assign(text, chars.c_str());
        Expect_Assigned(expected, chars.c_str(), host_yields_null);
        if (grows && !host_yields_null) expected.block = Block_Of(text);
        break;
      }
      default:
        step_name = "clear";
        Host_String_Clear(text);
        expected = Expected{};
        break;
    }
    substitute_host::Yield_Null_After(0);
    Check(text, expected, step_name);
  }
  Host_String_Clear(text);
  Check(text, Expected{}, "clear at the end");
  return 0;
}
