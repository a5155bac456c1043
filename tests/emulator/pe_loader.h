// Loads a 32-bit PE DLL into the emulator as the Windows loader would: headers and sections
// at the image base (elsewhere with base relocations applied when the base is taken), each
// import bound to the address the resolver gives, the TLS data and index set up, and the
// exports and TLS callbacks listed for the caller to run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "x86_machine.h"

namespace emulator {

struct PeSection {
  std::string name;
  std::uint32_t rva, virtual_size, raw_offset, raw_size, characteristics;
};

struct PeFile {
  std::vector<std::uint8_t> bytes;
  std::uint16_t characteristics = 0;
  std::uint32_t image_base = 0, size_of_image = 0, size_of_headers = 0, entry_rva = 0, section_alignment = 0;
  std::uint32_t symbol_table_offset = 0, symbol_count = 0;
  struct Directory {
    std::uint32_t rva = 0, size = 0;
  } directories[16];
  std::vector<PeSection> sections;

  std::uint32_t Rva_To_Offset(std::uint32_t rva) const;  // throws when no section holds it
};

// Reads and checks the headers: a PE32 (i386) DLL; fails loudly on anything else.
PeFile Read_Pe_File(const std::string& path);

struct ImportReference {
  std::string module;  // as the import directory names it ("KERNEL32.dll")
  std::string name;    // empty when imported by ordinal
  std::uint16_t ordinal = 0;
  std::uint32_t slot = 0;  // address of the IAT cell
};

// Returns the address to put in an import's IAT cell.
using ImportResolver = std::function<std::uint32_t(const ImportReference&)>;

struct LoadedModule {
  std::string name;
  std::uint32_t base = 0;
  std::uint32_t preferred_base = 0;
  std::uint32_t size = 0;
  std::uint32_t entry_point = 0;  // 0 when the image has none
  std::map<std::string, std::uint32_t> exports;
  std::vector<std::uint32_t> tls_callbacks;
  std::vector<ImportReference> imports;
  std::size_t relocations_applied = 0;

  std::uint32_t Export(const std::string& export_name) const;  // throws when missing
};

// Loads at the preferred base when it is free, elsewhere (relocated) when it is taken.
LoadedModule Load_Pe(X86Machine& machine, const PeFile& file, const std::string& module_name,
                     const ImportResolver& resolve);

}  // namespace emulator
