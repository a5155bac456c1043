#include "common/host_string.h"

#include <cstring>
#include <limits>

#include "host/host_allocator.h"

namespace {

char* Heap_Block(const HostString& text) {
  char* block = nullptr;
  std::memcpy(&block, text.buffer, sizeof block);  // unaligned on 64-bit: copy, don't cast
  return block;
}

void Set_Heap_Block(HostString& text, char* block) { std::memcpy(text.buffer, &block, sizeof block); }

char* Writable_Chars(HostString& text) { return Host_String_On_Heap(text) ? Heap_Block(text) : text.buffer; }

void Give_Up_Heap_Block(HostString& text) {
  if (Host_String_On_Heap(text)) Host_Operator_Delete(Heap_Block(text));
  text.capacity = kHostStringInPlaceCapacity;
}

}  // namespace

bool Host_String_On_Heap(const HostString& text) { return text.capacity > kHostStringInPlaceCapacity; }

const char* Host_String_Chars(const HostString& text) {
  return Host_String_On_Heap(text) ? Heap_Block(text) : text.buffer;
}

std::string Host_String_Value(const HostString& text) {
  const char* chars = Host_String_Chars(text);
  return chars ? std::string(chars, text.length) : std::string();
}

void Host_String_Assign(HostString& text, const char* chars, std::size_t length) {
  if (length > std::numeric_limits<std::uint32_t>::max() - 1) return;
  if (length > text.capacity) {
    char* block = static_cast<char*>(Host_Operator_New(length + 1));
    if (block == nullptr) return;
    std::memcpy(block, chars, length);
    Give_Up_Heap_Block(text);
    Set_Heap_Block(text, block);
    text.capacity = static_cast<std::uint32_t>(length);
  } else {
    // Fits where the characters already are; memmove allows assigning a part of itself.
    std::memmove(Writable_Chars(text), chars, length);
  }
  Writable_Chars(text)[length] = '\0';
  text.length = static_cast<std::uint32_t>(length);
}

void Host_String_Assign(HostString& text, const char* chars) { Host_String_Assign(text, chars, std::strlen(chars)); }

void Host_String_Clear(HostString& text) {
  Give_Up_Heap_Block(text);
  text.length = 0;
  text.buffer[0] = '\0';
}
