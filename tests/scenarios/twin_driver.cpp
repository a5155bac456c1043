#include "twin_driver.h"

#include <dlfcn.h>

#include <cstring>
#include <utility>
#include <sstream>

#include "fresh_process.h"
#include "output_capture.h"
#include "substitute_host.h"

namespace {

// "[MessageBox 0x30] <caption>: <text>", one per line.
void Parse_Boxes(const std::string& error_output, std::vector<MessageBoxRecord>& boxes) {
  std::istringstream lines(error_output);
  std::string line;
  while (std::getline(lines, line)) {
    unsigned style = 0;
    if (std::sscanf(line.c_str(), "[MessageBox 0x%x]", &style) != 1) continue;
    const auto caption_at = line.find("] ") + 2;
    const auto colon = line.find(": ", caption_at);
    if (colon == std::string::npos) continue;
    boxes.push_back({line.substr(caption_at, colon - caption_at), line.substr(colon + 2), style});
  }
}

}  // namespace

void Run_On_Twin_In_Fresh_Process(const DriverScenario& scenario) {
  In_Fresh_Process([&] {
    ServerFolder folder;
    TwinDriver driver(scenario.setup);
    scenario.run(driver, folder);
  });
}

std::string Extension_Library_Path(const HostSetup& setup) {
  std::string variant = "all";
  if (setup.extension_exports_none) {
    variant = "none";
  } else if (!setup.missing_exports.empty()) {
    variant = "without";
    for (const std::string& name : setup.missing_exports) variant += "-" + name;
  }
  return std::string(HARVANE_EXTENSION_STAND_IN_DIR) + "/bhs-" + variant + ".so";
}

TwinDriver::TwinDriver(const HostSetup& setup) : setup_(setup) {
  substitute_host::Map_Host_Image(substitute_host::Layout{setup.signature_builds, setup.sse_flag});
  substitute_host::Set_Ini_Yields_Null(setup.ini_yields_null);
  if (setup.null_allocation_at != 0) {
    substitute_host::Yield_Null_From(setup.null_allocation_at, setup.null_allocation_count);
  }
  substitute_host::Set_Game_Data_Missing(setup.game_data_missing);
  records_.Set_Log_Switches(setup.write_all_headers, setup.echo_to_console);
  records_.Set_Log_File_Stem(setup.log_file_stem);
}

template <typename Call>
auto TwinDriver::Captured(Call call) {
  OutputCapture out(stdout);
  OutputCapture err(stderr);
  struct Collect {
    TwinDriver& driver;
    OutputCapture& out;
    OutputCapture& err;
    ~Collect() {
      driver.console_ += out.Take();
      Parse_Boxes(err.Take(), driver.boxes_);
    }
  } collect{*this, out, err};
  return call();
}

void TwinDriver::Attach() {
  Captured([&] { twin_ = std::make_unique<substitute_host::PluginTwin>(HARVANE_TWIN_LIBRARY); });
}

bool TwinDriver::Check_Version() {
  return Captured([&] { return twin_->Check_Version(records_); });
}

void TwinDriver::Plugin_Load() {
  extension_library_ = substitute_host::Open_Extension_Library(Extension_Library_Path(setup_));
  Captured([&] { twin_->Plugin_Load(extension_library_, records_); });
}

bool TwinDriver::Set_Script_Commands(std::uint32_t size, std::uint32_t version) {
  records_.Set_Command_Table_Header(size, version);
  return Captured([&] { return twin_->Set_Script_Commands(records_); });
}

void TwinDriver::Level_Loaded(const char* map_file_name) {
  substitute_host::Set_Loaded_Map(map_file_name);
  Captured([&] { twin_->Level_Loaded(); });
}

void TwinDriver::Unload() {
  Captured([&] { twin_->Unload(); });
}

std::string TwinDriver::Take_Console() { return std::exchange(console_, {}); }

std::vector<MessageBoxRecord> TwinDriver::Take_Boxes() { return std::exchange(boxes_, {}); }

std::vector<unsigned char> TwinDriver::Plugin_Info_Bytes() {
  return {records_.plugin_info, records_.plugin_info + sizeof records_.plugin_info};
}

std::string TwinDriver::Plugin_Info_String(std::size_t offset) { return records_.Plugin_Info_String(offset); }

std::uint32_t TwinDriver::Command_Cell(std::size_t offset) { return records_.Command_Cell(offset); }

HostBlockReport TwinDriver::Host_Blocks() {
  const auto report = substitute_host::Allocator_Report();
  return {report.live_blocks, report.foreign_releases, report.allocations};
}

std::vector<IniRelease> TwinDriver::Ini_Releases() {
  std::vector<IniRelease> releases;
  for (const auto& event : substitute_host::Ini_Events()) {
    if (event.what == "release") releases.push_back({event.staged_copy_present});
  }
  return releases;
}

std::uint32_t TwinDriver::Extension_Export_Address(const std::string& name) {
  void* library = substitute_host::Open_Extension_Library(Extension_Library_Path(setup_));
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(::dlsym(library, name.c_str())));
}

void TwinDriver::Set_Command_Cell(std::size_t offset, std::uint32_t value) {
  std::memcpy(records_.command_table + offset, &value, sizeof value);
}
