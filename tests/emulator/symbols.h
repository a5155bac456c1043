// Function names from an unstripped copy of the DLL (its COFF symbol table), to name guest
// addresses in failure messages: "Harvane.dll+0x3030 GameLogWriter(char const*, char const*)+0x2a".
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "pe_loader.h"

namespace emulator {

class SymbolTable {
 public:
  SymbolTable() = default;
  // Reads the symbols of `file`; an image without a symbol table gives an empty table.
  explicit SymbolTable(const PeFile& file);

  // `address` in a module loaded at `loaded_base`; "" when no symbol precedes it.
  std::string Name(std::uint32_t address, std::uint32_t loaded_base) const;
  std::size_t Size() const { return by_rva_.size(); }

 private:
  std::map<std::uint32_t, std::string> by_rva_;
};

}  // namespace emulator
