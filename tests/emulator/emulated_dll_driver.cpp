#include "emulated_dll_driver.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

using emulator::Convention;
using emulator::EmulationError;

namespace {

// Where the host keeps the records it hands the plug-in.
constexpr std::uint32_t kRecords = 0x03000000;
constexpr std::uint32_t kPluginInfo = kRecords + 0x000;       // 96 bytes
constexpr std::uint32_t kHostSettings = kRecords + 0x100;     // 224 bytes
constexpr std::uint32_t kCommandTable = kRecords + 0x400;     // 816 bytes
constexpr std::uint32_t kCommandTableCell = kRecords + 0x800; // holds the table's address
constexpr std::uint32_t kRegistrar = kRecords + 0x900;        // an object whose every virtual traps
constexpr std::uint32_t kRegistrarTable = kRecords + 0x980;
constexpr std::uint32_t kStemBlock = kRecords + 0xA00;        // the host's heap block for a long stem
constexpr std::uint32_t kPluginInfoSize = 96, kHostSettingsSize = 224, kCommandTableSize = 816;
constexpr std::uint32_t kWriteAllHeaders = 150, kEchoToConsole = 151, kLogFileStem = 196;
constexpr std::uint32_t kInPlaceCapacity = 15;
constexpr std::uint32_t kProcessAttach = 1, kProcessDetach = 0;

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// HostSetup grows while scenarios are written: read a newer field where it exists, and its
// neutral value where it does not yet.
template <typename Setup>
auto Null_Allocation_Count(const Setup& setup, int) -> decltype(std::size_t{setup.null_allocation_count}) {
  return setup.null_allocation_count;
}
template <typename Setup>
std::size_t Null_Allocation_Count(const Setup&, long) {
  return 1;
}
template <typename Setup>
auto Game_Data_Missing(const Setup& setup, int) -> decltype(bool{setup.game_data_missing}) {
  return setup.game_data_missing;
}
template <typename Setup>
bool Game_Data_Missing(const Setup&, long) {
  return false;
}

bool File_Exists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

}  // namespace

EmulatedDllDriver::EmulatedDllDriver(const HostSetup& setup, EmulatorOptions options)
    : setup_(setup), options_(std::move(options)) {
  if (!File_Exists(options_.dll_path)) {
    throw EmulationError("the shipped DLL is missing: " + options_.dll_path +
                         " (build it first: cmake --preset windows && cmake --build --preset windows)");
  }
  machine_ = std::make_unique<emulator::X86Machine>();
  emulator::ExtensionLibraryShape extension;
  extension.exports_none = setup.extension_exports_none;
  extension.missing.insert(setup.missing_exports.begin(), setup.missing_exports.end());
  windows_ = std::make_unique<emulator::WindowsSide>(*machine_, extension);
  emulator::HostImageOptions host;
  host.signature_builds = setup.signature_builds;
  host.sse_flag = setup.sse_flag;
  host.ini_yields_null = setup.ini_yields_null;
  host.null_allocation_at = setup.null_allocation_at;
  host.null_allocation_count = Null_Allocation_Count(setup, 0);
  host.game_data_missing = Game_Data_Missing(setup, 0);
  host.declarations = options_.host_declarations;
  host_ = std::make_unique<emulator::HostImage>(*machine_, host);
  Lay_Out_Host_Records();
  file_ = emulator::Read_Pe_File(options_.dll_path);
  machine_->Set_Shadow_Stack(options_.shadow_stack);
  machine_->Set_Address_Namer([this](std::uint32_t address) { return Name(address); });
}

EmulatedDllDriver::~EmulatedDllDriver() = default;

std::string EmulatedDllDriver::Name(std::uint32_t address) const {
  if (module_.base != 0 && address >= module_.base && address - module_.base < module_.size) {
    std::string name = "(Harvane.dll+" + Hex(address - module_.base);
    if (symbols_ == nullptr) {
      const bool present = !options_.symbols_path.empty() && File_Exists(options_.symbols_path);
      symbols_ = std::make_unique<emulator::SymbolTable>(
          present ? emulator::SymbolTable(emulator::Read_Pe_File(options_.symbols_path)) : emulator::SymbolTable());
    }
    const std::string symbol = symbols_->Name(address, module_.base);
    if (!symbol.empty()) name += " " + symbol;
    return name + ")";
  }
  if (const emulator::Region* region = machine_->Region_At(address)) return "(" + region->name + ")";
  return "(unmapped)";
}

void EmulatedDllDriver::Lay_Out_Host_Records() {
  emulator::X86Machine& machine = *machine_;
  machine.Map(kRecords, 0x10000, emulator::kPageReadWrite, emulator::kMemPrivate, "host records");
  // Every byte 0xA5 so stray writes show; strings empty (capacity 15).
  std::vector<std::uint8_t> filler(0x1000, 0xA5);
  machine.Write_Bytes(kRecords, filler.data(), static_cast<std::uint32_t>(filler.size()));
  const auto empty_string = [&](std::uint32_t at) {
    machine.Write32(at, 0xA5A5A5A5u);
    machine.Write8(at + 4, 0);
    machine.Write32(at + 20, 0);
    machine.Write32(at + 24, kInPlaceCapacity);
  };
  for (std::uint32_t offset : {4u, 36u, 64u}) empty_string(kPluginInfo + offset);
  empty_string(kHostSettings + kLogFileStem);
  machine.Write8(kHostSettings + kWriteAllHeaders, setup_.write_all_headers ? 1 : 0);
  machine.Write8(kHostSettings + kEchoToConsole, setup_.echo_to_console ? 1 : 0);
  const std::string& stem = setup_.log_file_stem;
  const std::uint32_t stem_at = kHostSettings + kLogFileStem;
  machine.Write32(stem_at + 20, static_cast<std::uint32_t>(stem.size()));
  if (stem.size() <= kInPlaceCapacity) {
    machine.Write_Bytes(stem_at + 4, stem.c_str(), static_cast<std::uint32_t>(stem.size() + 1));
  } else {
    machine.Write_Bytes(kStemBlock, stem.c_str(), static_cast<std::uint32_t>(stem.size() + 1));
    machine.Write32(stem_at + 4, kStemBlock);
    machine.Write32(stem_at + 24, static_cast<std::uint32_t>(stem.size()));
  }
  machine.Write32(kCommandTable, 816);
  machine.Write32(kCommandTable + 4, 174);
  machine.Write32(kCommandTableCell, kCommandTable);
  // The registrar: each virtual operation leads to int3 filler in the host's code.
  machine.Write32(kRegistrar, kRegistrarTable);
  for (std::uint32_t i = 0; i < 8; ++i) machine.Write32(kRegistrarTable + 4 * i, 0x00401000 + 16 * i);
}

std::uint32_t EmulatedDllDriver::Plugin_Info_Address() const { return kPluginInfo; }
std::uint32_t EmulatedDllDriver::Host_Settings_Address() const { return kHostSettings; }

void EmulatedDllDriver::Attach() {
  if (attached_) throw EmulationError("Attach twice");
  if (options_.occupy_preferred_base) {
    machine_->Map(file_.image_base, (file_.size_of_image + 0xFFF) & ~0xFFFu, emulator::kPageReadWrite,
                  emulator::kMemPrivate, "another module at the DLL's preferred base");
  }
  module_ = emulator::Load_Pe(*machine_, file_, "Harvane.dll",
                              [this](const emulator::ImportReference& reference) {
                                return windows_->Resolve_Import(reference);
                              });
  windows_->Set_Plugin_Module("Harvane.dll", module_.base);
  for (std::uint32_t callback : module_.tls_callbacks) {
    machine_->Call(callback, {module_.base, kProcessAttach, 0}, Convention::Stdcall, "TLS callback, process attach");
    guest_calls_.push_back("TLS callback, process attach");
  }
  if (module_.entry_point != 0) {
    const std::uint32_t result = machine_->Call(module_.entry_point, {module_.base, kProcessAttach, 0},
                                                Convention::Stdcall, "entry point, process attach");
    guest_calls_.push_back("entry point, process attach");
    if (result == 0) throw EmulationError("the DLL's entry point refused the process attach (returned FALSE)");
  }
  attached_ = true;
}

void EmulatedDllDriver::Detach() {
  if (!attached_ || detached_) return;
  detached_ = true;
  for (std::uint32_t callback : module_.tls_callbacks) {
    machine_->Call(callback, {module_.base, kProcessDetach, 0}, Convention::Stdcall, "TLS callback, process detach");
    guest_calls_.push_back("TLS callback, process detach");
  }
  if (module_.entry_point != 0) {
    machine_->Call(module_.entry_point, {module_.base, kProcessDetach, 0}, Convention::Stdcall,
                   "entry point, process detach");
    guest_calls_.push_back("entry point, process detach");
  }
}

std::uint32_t EmulatedDllDriver::Run(const std::string& export_name, const std::vector<std::uint32_t>& args) {
  if (!attached_) throw EmulationError(export_name + " called before Attach");
  if (detached_) throw EmulationError(export_name + " called after Detach");
  const std::uint32_t result = machine_->Call(module_.Export(export_name), args, Convention::Cdecl, export_name);
  guest_calls_.push_back(export_name);
  return result;
}

std::uint32_t EmulatedDllDriver::Call_Export(const std::string& name, const std::vector<std::uint32_t>& args) {
  return Run(name, args);
}

bool EmulatedDllDriver::Check_Version() { return (Run("SSGM_Check_Version", {0, kPluginInfo}) & 0xFF) != 0; }

void EmulatedDllDriver::Plugin_Load() {
  Run("SSGM_Plugin_Load", {windows_->Extension_Library_Handle(), kHostSettings, kRegistrar, 0, kPluginInfo});
}

bool EmulatedDllDriver::Set_Script_Commands(std::uint32_t size, std::uint32_t version) {
  machine_->Write32(kCommandTable, size);
  machine_->Write32(kCommandTable + 4, version);
  machine_->Write32(kCommandTableCell, kCommandTable);
  return (Run("Set_Script_Commands", {kCommandTableCell}) & 0xFF) != 0;
}

void EmulatedDllDriver::Level_Loaded(const char* map_file_name) {
  host_->Set_Loaded_Map(map_file_name);
  Run("SSGM_Level_Loaded_Hook", {});
}

void EmulatedDllDriver::Unload() { Run("SSGM_Plugin_Unload", {}); }

std::string EmulatedDllDriver::Take_Console() { return windows_->Take_Console(); }

std::vector<MessageBoxRecord> EmulatedDllDriver::Take_Boxes() {
  std::vector<MessageBoxRecord> boxes;
  for (const auto& box : windows_->Take_Boxes()) boxes.push_back({box.caption, box.text, box.style});
  return boxes;
}

std::vector<unsigned char> EmulatedDllDriver::Plugin_Info_Bytes() {
  return machine_->Read_Bytes(kPluginInfo, kPluginInfoSize);
}

std::string EmulatedDllDriver::Plugin_Info_String(std::size_t offset) {
  const auto at = kPluginInfo + static_cast<std::uint32_t>(offset);
  const std::uint32_t length = machine_->Read32(at + 20);
  const std::uint32_t capacity = machine_->Read32(at + 24);
  const std::uint32_t chars = capacity > kInPlaceCapacity ? machine_->Read32(at + 4) : at + 4;
  if (chars == 0) return {};
  const auto bytes = machine_->Read_Bytes(chars, length);
  return std::string(bytes.begin(), bytes.end());
}

std::uint32_t EmulatedDllDriver::Command_Cell(std::size_t offset) {
  if (offset + 4 > kCommandTableSize) throw EmulationError("cell beyond the commands table");
  return machine_->Read32(kCommandTable + static_cast<std::uint32_t>(offset));
}

void EmulatedDllDriver::Set_Command_Cell(std::size_t offset, std::uint32_t value) {
  if (offset + 4 > kCommandTableSize) throw EmulationError("cell beyond the commands table");
  machine_->Write32(kCommandTable + static_cast<std::uint32_t>(offset), value);
}

HostBlockReport EmulatedDllDriver::Host_Blocks() {
  const auto report = host_->Allocator_Report();
  return {report.live_blocks, report.foreign_releases, report.allocations};
}

std::vector<IniRelease> EmulatedDllDriver::Ini_Releases() {
  std::vector<IniRelease> releases;
  for (const auto& event : host_->Ini_Events()) {
    if (event.what == "release") releases.push_back({event.staged_copy_present});
  }
  return releases;
}

std::uint32_t EmulatedDllDriver::Extension_Export_Address(const std::string& name) {
  return windows_->Extension_Export_Address(name);
}

std::vector<std::pair<std::string, std::uint64_t>> EmulatedDllDriver::Called_Routines() const {
  std::vector<std::pair<std::string, std::uint64_t>> called;
  for (const auto& trap : machine_->Traps()) {
    if (trap.calls != 0) called.emplace_back(trap.name, trap.calls);
  }
  return called;
}
