#include "guest_heap.h"

#include <cstring>

namespace emulator {

GuestHeap::GuestHeap(X86Machine& machine, std::uint32_t base, std::uint32_t size, const std::string& name)
    : machine_(machine), base_(base), end_(base + size), cursor_(base + 16) {
  machine_.Map(base, size, kPageReadWrite, kMemPrivate, name);
}

std::uint32_t GuestHeap::Allocate(std::uint32_t size) {
  // 16 bytes apart at least, so a small overrun lands in no other block.
  const std::uint64_t span = (std::uint64_t{size} + 15) / 16 * 16 + 16;
  if (cursor_ + span > end_) return 0;
  const std::uint32_t block = cursor_;
  cursor_ += static_cast<std::uint32_t>(span);
  if (size != 0) std::memset(machine_.Host_Pointer(block, size), 0xCD, size);
  live_[block] = size;
  return block;
}

GuestHeap::Release_Result GuestHeap::Release(std::uint32_t block) {
  auto found = live_.find(block);
  if (found == live_.end()) {
    return released_.count(block) ? Release_Result::Given_Back_Already : Release_Result::Never_Given;
  }
  if (found->second != 0) std::memset(machine_.Host_Pointer(block, found->second), 0xDD, found->second);
  live_.erase(found);
  released_.insert(block);
  return Release_Result::Released;
}

std::uint32_t GuestHeap::Size_Of(std::uint32_t block) const {
  auto found = live_.find(block);
  return found == live_.end() ? 0 : found->second;
}

}  // namespace emulator
