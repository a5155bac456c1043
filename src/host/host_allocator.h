// Every block the plug-in allocates comes from the host executable's allocator and goes
// back to it. The product's global operator new/delete forward here; the plug-in's own
// objects are created through these directly.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

void* Host_Operator_New(std::size_t size);
void* Host_Operator_New_Array(std::size_t size);
void Host_Operator_Delete(void* block);
void Host_Operator_Delete_Array(void* block);

// Constructs a T in a block from the host allocator; null (and no construction) when the
// host yields no block.
template <typename T, typename... Args>
T* Host_New(Args&&... args) {
  void* block = Host_Operator_New(sizeof(T));
  return block ? new (block) T(std::forward<Args>(args)...) : nullptr;
}

template <typename T>
void Host_Delete(T* object) {
  if (object == nullptr) return;
  object->~T();
  Host_Operator_Delete(object);
}
