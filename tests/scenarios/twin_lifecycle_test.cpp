// The lifecycle scenarios against the Linux twin, each in a fresh process.
#include <gtest/gtest.h>

#include "lifecycle_scenarios.h"
#include "twin_driver.h"

namespace {

class TwinLifecycle : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TwinLifecycle, Runs) { Run_On_Twin_In_Fresh_Process(kLifecycleScenarios[GetParam()]); }

INSTANTIATE_TEST_SUITE_P(Scenarios, TwinLifecycle, ::testing::Range<std::size_t>(0, kLifecycleScenarioCount),
                         ScenarioTestName(kLifecycleScenarios));

}  // namespace
