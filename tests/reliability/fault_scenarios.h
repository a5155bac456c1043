// Faults the plug-in meets inside a server: file copies that fail with each error code the
// system gives, a missing, read-only or obstructed data folder, a game log that cannot be
// opened, an INI service that yields nothing, no game data, names that are no map, and a host
// allocator that answers null. Each is told once against PluginDriver, like the lifecycle
// scenarios, and run by every driver in a fresh process.
#pragma once

#include <cstddef>

#include "driver_scenario.h"

extern const DriverScenario kFaultScenarios[];
extern const std::size_t kFaultScenarioCount;

// ---- the host allocator answering null, at every allocation of a whole life ----
//
// The life: attach, version query, load, commands table, notices, a second commands table,
// more notices, unload. Where each host allocation of that life falls is learnt from one run
// without faults; then the life is run again for every n up to the total, with the nth
// allocation (or the nth and every later one) answered with null.

// Host allocation counts at the end of each phase of the life.
struct LifeProfile {
  std::size_t after_attach = 0;
  std::size_t before_commands[2] = {0, 0};
  std::size_t after_commands[2] = {0, 0};
  std::size_t total = 0;
};

// The life without faults, checked step by step; returns where its allocations fall.
LifeProfile Live_Reference_Life(PluginDriver& driver, ServerFolder& folder);

// The setup for the life with allocation `nth` answered null, and `count` allocations in a
// row after it (0: every later one).
HostSetup Null_Allocation_Setup(std::size_t nth, std::size_t count);

// The life again, on a driver built from Null_Allocation_Setup(nth, count). What must come
// out follows from the profile: a commands table whose settings object or either of its
// names gets no block loads nothing, stages nothing and leaves the notices silent; a vector
// math object without a block changes nothing that shows. Every step's console and the data
// folder are checked against that; at unload every host block given out since attach is
// back and none came back that the host never gave.
void Live_Life_With_Null_Allocations(PluginDriver& driver, ServerFolder& folder, const LifeProfile& reference,
                                     std::size_t nth, std::size_t count);
