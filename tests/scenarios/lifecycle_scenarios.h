// The host's whole conversation with the plug-in, told once and run by every driver: the
// twin in a fresh process, and the shipped DLL in an x86 emulator.
#pragma once

#include <cstddef>
#include <string>

#include "plugin_driver.h"
#include "server_folder.h"

struct LifecycleScenario {
  const char* name;
  HostSetup setup;
  void (*run)(PluginDriver& driver, ServerFolder& folder);
};

extern const LifecycleScenario kLifecycleScenarios[];
extern const std::size_t kLifecycleScenarioCount;

// A scenario's name as a test name: letters and digits, everything else '_'.
std::string Scenario_Test_Name(std::size_t index);
