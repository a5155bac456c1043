#include "host/command_table_binding.h"

#include <cstring>

namespace extension {
// The plug-in's own copies of the exports that do not go into the host's table.
#define EXTENSION_CELL(name, offset)
#define EXTENSION_OWN(name) FARPROC name = nullptr;
#include "host/extension_exports.inc"
#undef EXTENSION_CELL
#undef EXTENSION_OWN
}  // namespace extension

const ExtensionExport kExtensionExports[kExtensionExportCount] = {
#define EXTENSION_CELL(name, offset) {#name, offset, nullptr},
#define EXTENSION_OWN(name) {#name, kNoCell, &extension::name},
#include "host/extension_exports.inc"
#undef EXTENSION_CELL
#undef EXTENSION_OWN
};

namespace {

HMODULE extension_library = nullptr;
void* host_commands = nullptr;

std::uint32_t Table_Word(const void* table, std::size_t offset) {
  std::uint32_t word;
  std::memcpy(&word, static_cast<const char*>(table) + offset, sizeof word);
  return word;
}

void Store_In_Cell(void* table, std::size_t offset, FARPROC address) {
  // The host's cells are 32 bits wide (on a 64-bit twin they take the low half).
  const auto word = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
  std::memcpy(static_cast<char*>(table) + offset, &word, sizeof word);
}

}  // namespace

void Keep_Extension_Library(HMODULE module) { extension_library = module; }

bool Accept_Host_Commands(void* table) {
  host_commands = table;
  if (table == nullptr) return false;
  return Table_Word(table, 0) == kHostCommandTableSize && Table_Word(table, 4) == kHostCommandTableVersion;
}

void* Host_Commands() { return host_commands; }

void Bind_Extension_Exports() {
  for (const ExtensionExport& row : kExtensionExports) {
    FARPROC address = GetProcAddress(extension_library, row.name);
    if (address == nullptr) {
      MessageBoxA(nullptr, "Error getting function address from bhs.dll", row.name, MB_ICONWARNING);
    }
    if (row.own_pointer != nullptr) {
      *row.own_pointer = address;
    } else {
      Store_In_Cell(host_commands, row.cell_offset, address);
    }
  }
}
