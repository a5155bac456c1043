// What an end-to-end scenario needs from "a plug-in loaded into a host": the twin library in
// this process, or the shipped DLL in an x86 emulator. Each scenario is written once against
// this interface and run by every driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HostSetup {
  std::vector<std::int32_t> signature_builds{0};  // builds whose signature the image carries
  unsigned char sse_flag = 0;
  // Exports the extension library lacks; `extension_exports_none` lacks every one.
  std::vector<std::string> missing_exports;
  bool extension_exports_none = false;
  bool write_all_headers = true;
  bool echo_to_console = true;
  std::string log_file_stem = "gamelog";
  bool ini_yields_null = false;
  std::size_t null_allocation_at = 0;  // the host allocator answers null to this call (1-based)
  // With null_allocation_at: how many calls in a row answer null (0: that call and every later one).
  std::size_t null_allocation_count = 1;
  bool game_data_missing = false;  // the host's Get_Game_Data answers null
};

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  std::uint32_t style;
  bool operator==(const MessageBoxRecord& other) const {
    return caption == other.caption && text == other.text && style == other.style;
  }
};

struct HostBlockReport {
  std::size_t live_blocks = 0;
  std::size_t foreign_releases = 0;  // blocks released to the host that it never gave out
  std::size_t allocations = 0;
};

struct IniRelease {
  bool staged_copy_present;  // the staged settings copy still existed when the host released it
};

class PluginDriver {
 public:
  virtual ~PluginDriver() = default;

  // The host's calls, in the order the host makes them.
  virtual void Attach() = 0;  // load the library: process attach
  virtual bool Check_Version() = 0;
  virtual void Plugin_Load() = 0;
  virtual bool Set_Script_Commands(std::uint32_t size, std::uint32_t version) = 0;
  virtual void Level_Loaded(const char* map_file_name) = 0;  // null: the game data names no map
  virtual void Unload() = 0;

  // What the plug-in did.
  virtual std::string Take_Console() = 0;  // standard output since the last call
  virtual std::vector<MessageBoxRecord> Take_Boxes() = 0;
  virtual std::vector<unsigned char> Plugin_Info_Bytes() = 0;  // the host's 96-byte record
  virtual std::string Plugin_Info_String(std::size_t offset) = 0;
  virtual std::uint32_t Command_Cell(std::size_t offset) = 0;
  virtual HostBlockReport Host_Blocks() = 0;
  virtual std::vector<IniRelease> Ini_Releases() = 0;
  // The 32-bit value the host's table should hold for an export the extension library has.
  virtual std::uint32_t Extension_Export_Address(const std::string& name) = 0;
  // Plants a value in a cell of the host's commands table, as the host might have.
  virtual void Set_Command_Cell(std::size_t offset, std::uint32_t value) = 0;
};
