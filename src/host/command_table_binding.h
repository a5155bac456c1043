// Checks the host's script-commands table and completes it from the extension library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

constexpr std::uint32_t kHostCommandTableSize = 816;
constexpr std::uint32_t kHostCommandTableVersion = 174;
constexpr std::size_t kNoCell = 0;  // a row whose address stays in the plug-in's own pointer

struct ExtensionExport {
  const char* name;
  std::size_t cell_offset;  // byte offset in the host's table, or kNoCell
  FARPROC* own_pointer;     // the plug-in's pointer of that name, or null for a cell row
};
constexpr std::size_t kExtensionExportCount = 115;
extern const ExtensionExport kExtensionExports[kExtensionExportCount];

// The extension library's module handle, kept from plug-in load.
void Keep_Extension_Library(HMODULE module);

// Remembers the table handed over (accepted or not) and tells whether it has the size and
// version this plug-in was built for (size first).
bool Accept_Host_Commands(void* table);
void* Host_Commands();

// Looks every export up in order, warns once per missing name, stores every result (null
// included). Never stops early.
void Bind_Extension_Exports();
