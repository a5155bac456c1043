// Drives the Linux twin (libHarvane.so) in this process against the substitute host.
// Construct it in a fresh process: it maps the host image.
#pragma once

#include <memory>

#include "driver_scenario.h"
#include "plugin_driver.h"
#include "plugin_twin.h"

class TwinDriver : public PluginDriver {
 public:
  explicit TwinDriver(const HostSetup& setup);

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

 private:
  template <typename Call>
  auto Captured(Call call);

  HostSetup setup_;
  substitute_host::HostRecords records_;
  std::unique_ptr<substitute_host::PluginTwin> twin_;
  std::string console_;
  std::vector<MessageBoxRecord> boxes_;
  void* extension_library_ = nullptr;
};

// The stand-in extension library for a setup's missing exports.
std::string Extension_Library_Path(const HostSetup& setup);

// Runs `scenario` against the twin in a fresh process, in a server folder of its own.
void Run_On_Twin_In_Fresh_Process(const DriverScenario& scenario);
