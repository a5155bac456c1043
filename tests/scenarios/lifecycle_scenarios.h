// The host's whole conversation with the plug-in, told once and run by every driver: the
// twin in a fresh process, and the shipped DLL in an x86 emulator.
#pragma once

#include <cstddef>

#include "driver_scenario.h"

extern const DriverScenario kLifecycleScenarios[];
extern const std::size_t kLifecycleScenarioCount;
