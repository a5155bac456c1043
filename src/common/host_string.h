// The string layout used inside the host's records (28 bytes): a bookkeeping word we never
// touch, 16 bytes holding the characters in place (capacity 15) or, in their first bytes,
// a pointer to a heap block, then the length and the capacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct HostString {
  std::uint32_t bookkeeping;
  char buffer[16];
  std::uint32_t length;
  std::uint32_t capacity;
};
static_assert(sizeof(HostString) == 28, "HostString must keep the host's 28-byte layout");

constexpr std::uint32_t kHostStringInPlaceCapacity = 15;

bool Host_String_On_Heap(const HostString& text);
// The characters, wherever they are held.
const char* Host_String_Chars(const HostString& text);
// A copy on the caller's heap, for readers outside the plug-in (tools, tests).
std::string Host_String_Value(const HostString& text);
// Assigns `length` characters. Heap blocks come from and go back to the host allocator.
// When the host yields no block for a longer text, the string is left as it was.
void Host_String_Assign(HostString& text, const char* chars, std::size_t length);
void Host_String_Assign(HostString& text, const char* chars);
// Gives up any heap block and leaves the empty string (capacity 15, length 0).
void Host_String_Clear(HostString& text);
