// Loads the Linux twin of the plug-in (libHarvane.so) and calls its exports the way the
// plug-in host does, with the host's records laid out in this process's memory.
//
// Map the substitute host image (substitute_host.h) before constructing a PluginTwin: the
// library identifies the host build when it is loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace substitute_host {

// The host's records, at the byte offsets the plug-in uses; pointers are pointer-sized.
struct HostRecords {
  static constexpr std::size_t kPluginInfoSize = 96;
  static constexpr std::size_t kHostSettingsSize = 224;
  static constexpr std::size_t kCommandTableSize = 816;

  // Strings empty (capacity 15), every other byte 0xA5 so stray writes show.
  HostRecords();
  ~HostRecords();
  HostRecords(const HostRecords&) = delete;
  HostRecords& operator=(const HostRecords&) = delete;

  void Set_Log_Switches(bool write_all_headers, bool echo_to_console);
  void Set_Log_File_Stem(const std::string& stem);  // may be longer than 15: held on the heap
  void Set_Command_Table_Header(std::uint32_t size, std::uint32_t version);
  std::uint32_t Command_Cell(std::size_t offset) const;
  std::string Plugin_Info_String(std::size_t offset) const;

  alignas(8) unsigned char plugin_info[kPluginInfoSize];
  alignas(8) unsigned char host_settings[kHostSettingsSize];
  alignas(8) unsigned char command_table[kCommandTableSize];
  void* command_table_cell;  // what Set_Script_Commands is handed the address of

 private:
  char* stem_block_ = nullptr;
};

class PluginTwin {
 public:
  // dlopen()s the library: its constructor delivers the process attach notice. Aborts with a
  // message when the library or one of the seven exports cannot be found.
  explicit PluginTwin(const std::string& library_path);
  ~PluginTwin();  // the library stays loaded: the host never unloads a plug-in's code either
  PluginTwin(const PluginTwin&) = delete;
  PluginTwin& operator=(const PluginTwin&) = delete;

  bool Check_Version(HostRecords& records);
  void Plugin_Load(void* extension_library, HostRecords& records);
  bool Set_Script_Commands(HostRecords& records);
  void Level_Loaded();
  void* Create_Script(const char* name);
  void Set_Request_Destroy_Func(void (*routine)(void*));
  void Unload();

 private:
  void* library_;
  bool (*check_version_)(void*, void*);
  void (*plugin_load_)(void*, void*, void*, void*, void*);
  bool (*set_script_commands_)(void**);
  void (*level_loaded_)();
  void* (*create_script_)(const char*);
  void (*set_request_destroy_func_)(void (*)(void*));
  void (*unload_)();
};

// Opens an extension library stand-in (or any shared object) for Plugin_Load; aborts with a
// message when it cannot.
void* Open_Extension_Library(const std::string& path);

}  // namespace substitute_host
