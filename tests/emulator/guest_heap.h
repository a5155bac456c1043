// A heap in emulator memory: blocks handed out from one region, never reused, so a block
// released twice or never given out is always recognised. New blocks are filled with 0xCD
// and released ones with 0xDD, as a debugging heap does, so a read of memory the program
// never wrote or already gave back shows.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "x86_machine.h"

namespace emulator {

class GuestHeap {
 public:
  GuestHeap(X86Machine& machine, std::uint32_t base, std::uint32_t size, const std::string& name);

  std::uint32_t Allocate(std::uint32_t size);  // 0 when the region is exhausted
  enum class Release_Result { Released, Never_Given, Given_Back_Already };
  Release_Result Release(std::uint32_t block);
  bool Is_Live(std::uint32_t block) const { return live_.count(block) != 0; }
  std::uint32_t Size_Of(std::uint32_t block) const;  // of a live block
  std::size_t Live_Blocks() const { return live_.size(); }
  std::uint32_t Base() const { return base_; }
  std::uint32_t End() const { return end_; }

 private:
  X86Machine& machine_;
  std::uint32_t base_, end_, cursor_;
  std::map<std::uint32_t, std::uint32_t> live_;  // block -> size
  std::set<std::uint32_t> released_;
};

}  // namespace emulator
