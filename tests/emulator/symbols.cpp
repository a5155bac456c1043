#include "symbols.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace emulator {
namespace {

std::string Demangled(std::string name) {
  // i386 Windows symbols carry a leading underscore before the C or C++ name.
  if (!name.empty() && name[0] == '_') name.erase(0, 1);
  if (name.rfind("_Z", 0) == 0) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status == 0 && readable != nullptr) {
      name = readable;
    }
    std::free(readable);
  }
  return name;
}

}  // namespace

SymbolTable::SymbolTable(const PeFile& file) {
  if (file.symbol_table_offset == 0 || file.symbol_count == 0) return;
  const auto& bytes = file.bytes;
  const std::size_t strings = file.symbol_table_offset + 18ull * file.symbol_count;
  for (std::uint32_t i = 0; i < file.symbol_count; ++i) {
    const std::size_t at = file.symbol_table_offset + 18ull * i;
    if (at + 18 > bytes.size()) break;
    std::uint32_t value, zeroes, string_offset;
    std::int16_t section;
    std::memcpy(&zeroes, bytes.data() + at, 4);
    std::memcpy(&string_offset, bytes.data() + at + 4, 4);
    std::memcpy(&value, bytes.data() + at + 8, 4);
    std::memcpy(&section, bytes.data() + at + 12, 2);
    const std::uint8_t storage_class = bytes[at + 16];
    const std::uint8_t aux = bytes[at + 17];
    i += aux;
    if (section <= 0 || static_cast<std::size_t>(section) > file.sections.size()) continue;
    if (storage_class != 2 && storage_class != 3) continue;  // external or static
    const PeSection& holder = file.sections[static_cast<std::size_t>(section) - 1];
    if (!(holder.characteristics & 0x20000000u)) continue;   // code only
    std::string name;
    if (zeroes == 0) {
      if (strings + string_offset >= bytes.size()) continue;
      name = reinterpret_cast<const char*>(bytes.data() + strings + string_offset);
    } else {
      char short_name[9] = {};
      std::memcpy(short_name, bytes.data() + at, 8);
      name = short_name;
    }
    if (name.empty() || name[0] == '.') continue;  // section symbols
    by_rva_.emplace(holder.rva + value, Demangled(name));
  }
}

std::string SymbolTable::Name(std::uint32_t address, std::uint32_t loaded_base) const {
  if (by_rva_.empty() || address < loaded_base) return "";
  const std::uint32_t rva = address - loaded_base;
  auto it = by_rva_.upper_bound(rva);
  if (it == by_rva_.begin()) return "";
  --it;
  char offset[16];
  std::snprintf(offset, sizeof offset, "+0x%X", rva - it->first);
  return it->second + (rva == it->first ? "" : offset);
}

}  // namespace emulator
