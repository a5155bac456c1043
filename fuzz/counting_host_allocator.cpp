#include "counting_host_allocator.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "host/host_address_table.h"
#include "host/host_routines.h"

namespace fuzz_host {
namespace {

Counts counts;
std::size_t null_at = 0;  // absolute allocation number, 0: none
std::unordered_set<void*>* live = nullptr;

void* Allocate(std::size_t size) {
  ++counts.allocations;
  if (counts.allocations == null_at) {
    ++counts.null_results;
    return nullptr;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  live->insert(block);
  counts.live_blocks = live->size();
  return block;
}

void Release(void* block) {
  if (block == nullptr) return;
  if (live->erase(block) == 0) {
    ++counts.foreign_releases;  // not ours: left alone
    return;
  }
  counts.live_blocks = live->size();
  std::free(block);
}

[[maybe_unused]] const HostAllocateRoutine kAllocate = &Allocate;
[[maybe_unused]] const HostFreeRoutine kRelease = &Release;

void Jump(std::uint32_t at, const void* target) {
  auto* code = reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(at));
  const auto destination = reinterpret_cast<std::uintptr_t>(target);
#if defined(__x86_64__)
  code[0] = 0x48;  // movabs rax, destination
  code[1] = 0xB8;
  std::memcpy(code + 2, &destination, 8);
  code[10] = 0xFF;  // jmp rax
  code[11] = 0xE0;
#elif defined(__i386__)
  code[0] = 0xB8;  // mov eax, destination
  std::memcpy(code + 1, &destination, 4);
  code[5] = 0xFF;  // jmp eax
  code[6] = 0xE0;
#else
#error "the host image holds x86 code only"
#endif
}

}  // namespace

void Install() {
  live = new std::unordered_set<void*>;
  Jump(Host_Address_For(HostEntry::Host_Allocate, 0), reinterpret_cast<const void*>(&Allocate));
  Jump(Host_Address_For(HostEntry::Host_Allocate_Array, 0), reinterpret_cast<const void*>(&Allocate));
  Jump(Host_Address_For(HostEntry::Host_Free, 0), reinterpret_cast<const void*>(&Release));
  Jump(Host_Address_For(HostEntry::Host_Free_Array, 0), reinterpret_cast<const void*>(&Release));
}

Counts Now() { return counts; }

void Answer_Null_At(std::size_t nth) { null_at = nth == 0 ? 0 : counts.allocations + nth; }

}  // namespace fuzz_host
