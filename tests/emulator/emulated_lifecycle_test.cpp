// The lifecycle scenarios — the same definitions the twin runs — against the shipped DLL in
// the emulator, one fresh emulator per scenario. At the end the time each scenario took and
// the imports and host routines the DLL called are printed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "emulated_dll_driver.h"
#include "lifecycle_scenarios.h"

namespace {

struct Timing {
  std::string scenario;
  double milliseconds;
  std::uint64_t instructions;
};

std::vector<Timing>& Timings() {
  static std::vector<Timing> timings;
  return timings;
}

std::map<std::string, std::uint64_t>& Calls() {
  static std::map<std::string, std::uint64_t> calls;
  return calls;
}

class EmulatedLifecycle : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EmulatedLifecycle, Runs) {
  const DriverScenario& scenario = kLifecycleScenarios[GetParam()];
  const auto start = std::chrono::steady_clock::now();
  ServerFolder folder;
  EmulatedDllDriver driver(scenario.setup);
  try {
    scenario.run(driver, folder);
    driver.Detach();
  } catch (const emulator::EmulationError& error) {
    FAIL() << "the emulated DLL failed: " << error.what();
  }
  Timings().push_back({scenario.name,
                       std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
                       driver.Machine().Instructions()});
  for (const auto& [routine, calls] : driver.Called_Routines()) Calls()[routine] += calls;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, EmulatedLifecycle, ::testing::Range<std::size_t>(0, kLifecycleScenarioCount),
                         ScenarioTestName(kLifecycleScenarios));

class Summary : public ::testing::Environment {
 public:
  void TearDown() override {
    std::printf("\nTime per scenario (fresh emulator, load, attach, the scenario, detach):\n");
    for (const Timing& timing : Timings()) {
      std::printf("  %8.1f ms %10llu instructions  %s\n", timing.milliseconds,
                  static_cast<unsigned long long>(timing.instructions), timing.scenario.c_str());
    }
    std::printf("Routines the DLL called, over all scenarios:\n");
    for (const auto& [routine, calls] : Calls()) {
      std::printf("  %-40s %llu\n", routine.c_str(), static_cast<unsigned long long>(calls));
    }
  }
};

const auto* const kSummary = ::testing::AddGlobalTestEnvironment(new Summary);

}  // namespace
