#include "host/host_allocator.h"

#include <cstdint>
#include <cstdlib>

#include "host/host_address_table.h"
#include "host/host_binding.h"
#include "host/host_routines.h"

namespace {

template <typename Routine>
Routine Bound_Routine(HostEntry entry) {
  return reinterpret_cast<Routine>(static_cast<std::uintptr_t>(Host_Entry_Value(entry)));
}

void* Allocate_Through(HostEntry entry, std::size_t size) {
  // The first allocation may come before the attach notice (static construction):
  // it binds the host itself. Binding runs at most once, so an unrecognised host
  // never restarts it.
  if (Host_Entry_Value(entry) == 0 && !Host_Binding_Attempted()) Init_Host_Bindings();
  auto allocate = Bound_Routine<HostAllocateRoutine>(entry);
  // Unrecognised host: no host allocator exists, so blocks come from the C runtime heap.
  // The entries never change afterwards, so each block goes back to the family that gave it.
  return allocate ? allocate(size) : std::malloc(size);
}

void Release_Through(HostEntry entry, void* block) {
  auto release = Bound_Routine<HostFreeRoutine>(entry);
  if (release) {
    release(block);
  } else {
    std::free(block);
  }
}

}  // namespace

void* Host_Operator_New(std::size_t size) { return Allocate_Through(HostEntry::Host_Allocate, size); }

void* Host_Operator_New_Array(std::size_t size) {
  return Allocate_Through(HostEntry::Host_Allocate_Array, size);
}

void Host_Operator_Delete(void* block) { Release_Through(HostEntry::Host_Free, block); }

void Host_Operator_Delete_Array(void* block) { Release_Through(HostEntry::Host_Free_Array, block); }
