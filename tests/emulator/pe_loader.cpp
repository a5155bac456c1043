#include "pe_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace emulator {
namespace {

constexpr std::uint32_t kPage = 0x1000;
constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kOptionalMagicPe32 = 0x10B;
constexpr std::uint16_t kFileDll = 0x2000, kFileRelocsStripped = 0x0001;
constexpr int kExportDirectory = 0, kImportDirectory = 1, kRelocationDirectory = 5, kTlsDirectory = 9;
constexpr std::uint32_t kScnExecute = 0x20000000, kScnRead = 0x40000000, kScnWrite = 0x80000000;

std::string Hex(std::size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%zX", value);
  return text;
}

template <typename T>
T Get(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (offset + sizeof(T) > bytes.size()) throw EmulationError("PE file truncated at offset " + Hex(offset));
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::uint32_t Align_Up(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

std::uint32_t Section_Protection(std::uint32_t characteristics) {
  const bool execute = characteristics & kScnExecute, write = characteristics & kScnWrite,
             read = characteristics & kScnRead;
  if (execute) return write ? kPageExecuteReadWrite : (read ? kPageExecuteRead : kPageExecute);
  if (write) return kPageReadWrite;
  return read ? kPageReadOnly : kPageNoAccess;
}

void Apply_Relocations(X86Machine& machine, const PeFile& file, std::uint32_t base, LoadedModule& module) {
  const auto& directory = file.directories[kRelocationDirectory];
  const std::uint32_t delta = base - file.image_base;
  std::uint32_t cursor = 0;
  while (cursor + 8 <= directory.size) {
    const std::uint32_t page_rva = machine.Read32(base + directory.rva + cursor);
    const std::uint32_t block_size = machine.Read32(base + directory.rva + cursor + 4);
    if (block_size < 8) throw EmulationError("base relocation block of size " + std::to_string(block_size));
    for (std::uint32_t entry = 8; entry + 2 <= block_size; entry += 2) {
      const std::uint32_t at = base + directory.rva + cursor + entry;
      const std::uint16_t word = static_cast<std::uint16_t>(machine.Read8(at) | (machine.Read8(at + 1) << 8));
      const unsigned type = word >> 12;
      const std::uint32_t target = base + page_rva + (word & 0xFFF);
      if (type == 0) continue;  // padding
      if (type != 3) throw EmulationError("base relocation of type " + std::to_string(type) + " at " + Hex(target));
      machine.Write32(target, machine.Read32(target) + delta);
      ++module.relocations_applied;
    }
    cursor += block_size;
  }
}

void Bind_Imports(X86Machine& machine, const PeFile& file, std::uint32_t base, const ImportResolver& resolve,
                  LoadedModule& module) {
  const auto& directory = file.directories[kImportDirectory];
  if (directory.rva == 0) return;
  for (std::uint32_t descriptor = base + directory.rva;; descriptor += 20) {
    const std::uint32_t lookup_rva = machine.Read32(descriptor);
    const std::uint32_t name_rva = machine.Read32(descriptor + 12);
    const std::uint32_t iat_rva = machine.Read32(descriptor + 16);
    if (name_rva == 0 && iat_rva == 0) break;
    const std::string dll = machine.Read_C_String(base + name_rva);
    const std::uint32_t names = base + (lookup_rva != 0 ? lookup_rva : iat_rva);
    for (std::uint32_t i = 0;; ++i) {
      const std::uint32_t thunk = machine.Read32(names + 4 * i);
      if (thunk == 0) break;
      ImportReference reference;
      reference.module = dll;
      reference.slot = base + iat_rva + 4 * i;
      if (thunk & 0x80000000u) {
        reference.ordinal = static_cast<std::uint16_t>(thunk & 0xFFFF);
      } else {
        reference.ordinal = static_cast<std::uint16_t>(machine.Read8(base + thunk) | (machine.Read8(base + thunk + 1) << 8));
        reference.name = machine.Read_C_String(base + thunk + 2);
      }
      machine.Write32(reference.slot, resolve(reference));
      module.imports.push_back(reference);
    }
  }
}

void Read_Exports(X86Machine& machine, const PeFile& file, std::uint32_t base, LoadedModule& module) {
  const auto& directory = file.directories[kExportDirectory];
  if (directory.rva == 0) return;
  const std::uint32_t at = base + directory.rva;
  const std::uint32_t function_count = machine.Read32(at + 20);
  const std::uint32_t name_count = machine.Read32(at + 24);
  const std::uint32_t functions = base + machine.Read32(at + 28);
  const std::uint32_t names = base + machine.Read32(at + 32);
  const std::uint32_t ordinals = base + machine.Read32(at + 36);
  for (std::uint32_t i = 0; i < name_count; ++i) {
    const std::string name = machine.Read_C_String(base + machine.Read32(names + 4 * i));
    const std::uint16_t index = static_cast<std::uint16_t>(machine.Read8(ordinals + 2 * i) |
                                                           (machine.Read8(ordinals + 2 * i + 1) << 8));
    if (index >= function_count) throw EmulationError("export " + name + " has ordinal index out of range");
    const std::uint32_t rva = machine.Read32(functions + 4 * index);
    if (rva >= directory.rva && rva < directory.rva + directory.size) {
      throw EmulationError("export " + name + " is forwarded, which this loader does not follow");
    }
    module.exports[name] = base + rva;
  }
}

// The module's TLS: a data block copied from the template, its index, and the callbacks.
void Set_Up_Tls(X86Machine& machine, const PeFile& file, std::uint32_t base, LoadedModule& module) {
  const auto& directory = file.directories[kTlsDirectory];
  if (directory.rva == 0) return;
  const std::uint32_t at = base + directory.rva;
  const std::uint32_t raw_start = machine.Read32(at), raw_end = machine.Read32(at + 4);
  const std::uint32_t index_address = machine.Read32(at + 8), callbacks = machine.Read32(at + 12);
  const std::uint32_t zero_fill = machine.Read32(at + 16);
  const std::uint32_t data_size = raw_end - raw_start + zero_fill;
  const std::uint32_t block_size = Align_Up(4 + data_size + 16, kPage);
  const std::uint32_t block = machine.Find_Free(0x00140000, block_size, 0x10000);
  machine.Map(block, block_size, kPageReadWrite, kMemPrivate, module.name + " TLS");
  // block: [0] the TLS array (one slot, index 0), [16...] the module's TLS data.
  const std::uint32_t data = block + 16;
  machine.Write_Bytes(data, machine.Read_Bytes(raw_start, raw_end - raw_start).data(), raw_end - raw_start);
  machine.Write32(block, data);
  machine.Write32(X86Machine::kTebAddress + 0x2C, block);  // ThreadLocalStoragePointer
  if (index_address != 0) machine.Write32(index_address, 0);
  if (callbacks != 0) {
    for (std::uint32_t i = 0;; ++i) {
      const std::uint32_t callback = machine.Read32(callbacks + 4 * i);
      if (callback == 0) break;
      module.tls_callbacks.push_back(callback);
    }
  }
}

}  // namespace

std::uint32_t PeFile::Rva_To_Offset(std::uint32_t rva) const {
  if (rva < size_of_headers) return rva;
  for (const PeSection& section : sections) {
    if (rva >= section.rva && rva < section.rva + std::max(section.virtual_size, section.raw_size)) {
      return section.raw_offset + (rva - section.rva);
    }
  }
  throw EmulationError("RVA " + Hex(rva) + " lies in no section");
}

PeFile Read_Pe_File(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EmulationError("cannot open " + path);
  PeFile file;
  in.seekg(0, std::ios::end);
  file.bytes.resize(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
  if (!in) throw EmulationError("cannot read " + path);
  const auto& bytes = file.bytes;
  if (Get<std::uint16_t>(bytes, 0) != 0x5A4D) throw EmulationError(path + ": no MZ header");
  const std::uint32_t pe = Get<std::uint32_t>(bytes, 0x3C);
  if (Get<std::uint32_t>(bytes, pe) != 0x00004550) throw EmulationError(path + ": no PE signature");
  const std::size_t header = pe + 4;
  if (Get<std::uint16_t>(bytes, header) != kMachineI386) throw EmulationError(path + ": not an i386 image");
  const std::uint16_t section_count = Get<std::uint16_t>(bytes, header + 2);
  file.symbol_table_offset = Get<std::uint32_t>(bytes, header + 8);
  file.symbol_count = Get<std::uint32_t>(bytes, header + 12);
  const std::uint16_t optional_size = Get<std::uint16_t>(bytes, header + 16);
  file.characteristics = Get<std::uint16_t>(bytes, header + 18);
  if (!(file.characteristics & kFileDll)) throw EmulationError(path + ": not a DLL");
  const std::size_t optional = header + 20;
  if (Get<std::uint16_t>(bytes, optional) != kOptionalMagicPe32) throw EmulationError(path + ": not PE32");
  file.entry_rva = Get<std::uint32_t>(bytes, optional + 16);
  file.image_base = Get<std::uint32_t>(bytes, optional + 28);
  file.section_alignment = Get<std::uint32_t>(bytes, optional + 32);
  file.size_of_image = Get<std::uint32_t>(bytes, optional + 56);
  file.size_of_headers = Get<std::uint32_t>(bytes, optional + 60);
  const std::uint32_t directory_count = std::min<std::uint32_t>(Get<std::uint32_t>(bytes, optional + 92), 16);
  for (std::uint32_t i = 0; i < directory_count; ++i) {
    file.directories[i].rva = Get<std::uint32_t>(bytes, optional + 96 + 8 * i);
    file.directories[i].size = Get<std::uint32_t>(bytes, optional + 100 + 8 * i);
  }
  if (file.section_alignment % kPage != 0) throw EmulationError(path + ": section alignment below a page");
  for (std::uint16_t i = 0; i < section_count; ++i) {
    const std::size_t at = optional + optional_size + 40u * i;
    char name[9] = {};
    std::memcpy(name, bytes.data() + at, std::min<std::size_t>(8, bytes.size() - at));
    file.sections.push_back({name, Get<std::uint32_t>(bytes, at + 12), Get<std::uint32_t>(bytes, at + 8),
                             Get<std::uint32_t>(bytes, at + 20), Get<std::uint32_t>(bytes, at + 16),
                             Get<std::uint32_t>(bytes, at + 36)});
  }
  return file;
}

std::uint32_t LoadedModule::Export(const std::string& export_name) const {
  auto found = exports.find(export_name);
  if (found == exports.end()) throw EmulationError(name + " does not export " + export_name);
  return found->second;
}

LoadedModule Load_Pe(X86Machine& machine, const PeFile& file, const std::string& module_name,
                     const ImportResolver& resolve) {
  LoadedModule module;
  module.name = module_name;
  module.preferred_base = file.image_base;
  module.size = Align_Up(file.size_of_image, kPage);
  std::uint32_t base = file.image_base;
  bool preferred_free = true;
  for (std::uint32_t page = base; page < base + module.size; page += kPage) {
    if (machine.Is_Mapped(page)) preferred_free = false;
  }
  if (!preferred_free) {
    if ((file.characteristics & kFileRelocsStripped) || file.directories[kRelocationDirectory].rva == 0) {
      throw EmulationError(module_name + ": preferred base " + Hex(base) + " is taken and the image has no relocations");
    }
    base = machine.Find_Free(file.image_base, module.size, 0x10000);
  }
  module.base = base;

  // Headers, then each section with its own protection, all of one allocation.
  const std::uint32_t header_size = Align_Up(file.size_of_headers, kPage);
  machine.Map(base, header_size, kPageReadOnly, kMemImage, module_name + " headers", base);
  machine.Write_Bytes(base, file.bytes.data(), std::min<std::uint32_t>(file.size_of_headers, static_cast<std::uint32_t>(file.bytes.size())));
  for (const PeSection& section : file.sections) {
    const std::uint32_t span = Align_Up(std::max(section.virtual_size, section.raw_size), file.section_alignment);
    if (span == 0) continue;
    machine.Map(base + section.rva, span, Section_Protection(section.characteristics), kMemImage,
                module_name + " " + section.name, base);
    const std::uint32_t copy = section.virtual_size ? std::min(section.raw_size, section.virtual_size) : section.raw_size;
    if (copy != 0) {
      if (section.raw_offset + copy > file.bytes.size()) throw EmulationError(module_name + ": section " + section.name + " truncated");
      machine.Write_Bytes(base + section.rva, file.bytes.data() + section.raw_offset, copy);
    }
  }
  if (base != file.image_base) Apply_Relocations(machine, file, base, module);
  Bind_Imports(machine, file, base, resolve, module);
  Read_Exports(machine, file, base, module);
  Set_Up_Tls(machine, file, base, module);
  module.entry_point = file.entry_rva ? base + file.entry_rva : 0;
  return module;
}

}  // namespace emulator
