#include "plugin_twin.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/host_string.h"
#include "gamelog/game_log_writer.h"

namespace substitute_host {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "substitute host: %s\n", what.c_str());
  std::abort();
}

template <typename Function>
void Resolve(void* library, const char* name, Function& function) {
  void* address = ::dlsym(library, name);
  if (address == nullptr) Fail(std::string("the plug-in does not export ") + name);
  function = reinterpret_cast<Function>(address);
}

HostString Empty_Host_String() {
  HostString text{};
  text.bookkeeping = 0xA5A5A5A5u;
  text.capacity = kHostStringInPlaceCapacity;
  return text;
}

void Put_String(unsigned char* record, std::size_t offset, const HostString& text) {
  std::memcpy(record + offset, &text, sizeof text);
}

std::string Read_String(const unsigned char* record, std::size_t offset) {
  HostString text;
  std::memcpy(&text, record + offset, sizeof text);
  const char* chars = text.buffer;
  if (text.capacity > kHostStringInPlaceCapacity) std::memcpy(&chars, text.buffer, sizeof chars);
  return chars ? std::string(chars, text.length) : std::string();
}

}  // namespace

HostRecords::HostRecords() {
  std::memset(plugin_info, 0xA5, sizeof plugin_info);
  std::memset(host_settings, 0xA5, sizeof host_settings);
  std::memset(command_table, 0xA5, sizeof command_table);
  for (std::size_t offset : {std::size_t{4}, std::size_t{36}, std::size_t{64}}) {
    Put_String(plugin_info, offset, Empty_Host_String());
  }
  Put_String(host_settings, kLogFileStemOffset, Empty_Host_String());
  Set_Log_Switches(false, false);
  Set_Command_Table_Header(816, 174);
  command_table_cell = command_table;
}

HostRecords::~HostRecords() { std::free(stem_block_); }

void HostRecords::Set_Log_Switches(bool write_all_headers, bool echo_to_console) {
  host_settings[kWriteAllHeadersOffset] = write_all_headers ? 1 : 0;
  host_settings[kEchoToConsoleOffset] = echo_to_console ? 1 : 0;
}

void HostRecords::Set_Log_File_Stem(const std::string& stem) {
  HostString text = Empty_Host_String();
  text.length = static_cast<std::uint32_t>(stem.size());
  if (stem.size() <= kHostStringInPlaceCapacity) {
    std::memcpy(text.buffer, stem.c_str(), stem.size() + 1);
  } else {
    // The host's own heap block; the plug-in only reads it.
    std::free(stem_block_);
    stem_block_ = static_cast<char*>(std::malloc(stem.size() + 1));
    std::memcpy(stem_block_, stem.c_str(), stem.size() + 1);
    std::memcpy(text.buffer, &stem_block_, sizeof stem_block_);
    text.capacity = static_cast<std::uint32_t>(stem.size());
  }
  Put_String(host_settings, kLogFileStemOffset, text);
}

void HostRecords::Set_Command_Table_Header(std::uint32_t size, std::uint32_t version) {
  std::memcpy(command_table, &size, 4);
  std::memcpy(command_table + 4, &version, 4);
}

std::uint32_t HostRecords::Command_Cell(std::size_t offset) const {
  std::uint32_t cell;
  std::memcpy(&cell, command_table + offset, sizeof cell);
  return cell;
}

std::string HostRecords::Plugin_Info_String(std::size_t offset) const { return Read_String(plugin_info, offset); }

PluginTwin::PluginTwin(const std::string& library_path) {
  library_ = ::dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) Fail("cannot load " + library_path + ": " + ::dlerror());
  Resolve(library_, "SSGM_Check_Version", check_version_);
  Resolve(library_, "SSGM_Plugin_Load", plugin_load_);
  Resolve(library_, "Set_Script_Commands", set_script_commands_);
  Resolve(library_, "SSGM_Level_Loaded_Hook", level_loaded_);
  Resolve(library_, "Create_Script", create_script_);
  Resolve(library_, "Set_Request_Destroy_Func", set_request_destroy_func_);
  Resolve(library_, "SSGM_Plugin_Unload", unload_);
}

PluginTwin::~PluginTwin() = default;

bool PluginTwin::Check_Version(HostRecords& records) { return check_version_(nullptr, records.plugin_info); }

void PluginTwin::Plugin_Load(void* extension_library, HostRecords& records) {
  plugin_load_(extension_library, records.host_settings, nullptr, nullptr, records.plugin_info);
}

bool PluginTwin::Set_Script_Commands(HostRecords& records) {
  records.command_table_cell = records.command_table;
  return set_script_commands_(&records.command_table_cell);
}

void PluginTwin::Level_Loaded() { level_loaded_(); }

void* PluginTwin::Create_Script(const char* name) { return create_script_(name); }

void PluginTwin::Set_Request_Destroy_Func(void (*routine)(void*)) { set_request_destroy_func_(routine); }

void PluginTwin::Unload() { unload_(); }

void* Open_Extension_Library(const std::string& path) {
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) Fail("cannot load the extension library " + path + ": " + ::dlerror());
  return library;
}

}  // namespace substitute_host
