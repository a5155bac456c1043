// Drives the shipped Harvane.dll in the x86 emulator: loaded as the Windows loader would,
// attached (TLS callbacks, then the entry point), its exports called with the host's records
// laid out in emulator memory at their 32-bit offsets, and detached at the end.
// One driver is one process: construct a fresh one for each scenario.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host_image.h"
#include "pe_loader.h"
#include "plugin_driver.h"
#include "symbols.h"
#include "windows_side.h"
#include "x86_machine.h"

struct EmulatorOptions {
  std::string dll_path = HARVANE_DLL_PATH;
  std::string symbols_path = HARVANE_UNSTRIPPED_DLL_PATH;  // optional: names in messages
  // How the harness calls the host's routines; a test may state one wrongly on purpose.
  std::map<std::string, emulator::RoutineDeclaration> host_declarations = emulator::Host_Routine_Declarations();
  bool occupy_preferred_base = false;  // something else sits at the DLL's image base: relocate
  bool shadow_stack = true;            // follow every guest call and ret (names the unbalanced function)
};

class EmulatedDllDriver : public PluginDriver {
 public:
  explicit EmulatedDllDriver(const HostSetup& setup, EmulatorOptions options = {});
  ~EmulatedDllDriver() override;

  void Attach() override;
  bool Check_Version() override;
  void Plugin_Load() override;
  bool Set_Script_Commands(std::uint32_t size, std::uint32_t version) override;
  void Level_Loaded(const char* map_file_name) override;
  void Unload() override;

  std::string Take_Console() override;
  std::vector<MessageBoxRecord> Take_Boxes() override;
  std::vector<unsigned char> Plugin_Info_Bytes() override;
  std::string Plugin_Info_String(std::size_t offset) override;
  std::uint32_t Command_Cell(std::size_t offset) override;
  HostBlockReport Host_Blocks() override;
  std::vector<IniRelease> Ini_Releases() override;
  std::uint32_t Extension_Export_Address(const std::string& name) override;
  void Set_Command_Cell(std::size_t offset, std::uint32_t value) override;

  // Beyond what a scenario needs.
  void Detach();  // process detach: the TLS callbacks, then the entry point
  bool Attached() const { return attached_; }
  std::uint32_t Call_Export(const std::string& name, const std::vector<std::uint32_t>& args);
  emulator::X86Machine& Machine() { return *machine_; }
  emulator::WindowsSide& Windows() { return *windows_; }
  emulator::HostImage& Host() { return *host_; }
  const emulator::LoadedModule& Module() const { return module_; }
  std::uint32_t Plugin_Info_Address() const;
  std::uint32_t Host_Settings_Address() const;
  // What the harness called in the guest, in order ("TLS callback, process attach", "SSGM_Plugin_Load", ...).
  const std::vector<std::string>& Guest_Calls() const { return guest_calls_; }
  // Every harness routine the guest has called, with its number of calls.
  std::vector<std::pair<std::string, std::uint64_t>> Called_Routines() const;

 private:
  std::uint32_t Run(const std::string& export_name, const std::vector<std::uint32_t>& args);
  void Lay_Out_Host_Records();
  std::string Name(std::uint32_t address) const;

  HostSetup setup_;
  EmulatorOptions options_;
  std::unique_ptr<emulator::X86Machine> machine_;
  std::unique_ptr<emulator::WindowsSide> windows_;
  std::unique_ptr<emulator::HostImage> host_;
  emulator::PeFile file_;
  mutable std::unique_ptr<emulator::SymbolTable> symbols_;  // read when a message first needs a name
  emulator::LoadedModule module_;
  std::vector<std::string> guest_calls_;
  bool attached_ = false;
  bool detached_ = false;
};
