// The lifecycle scenarios against the Linux twin, each in a fresh process.
#include <gtest/gtest.h>

#include "fresh_process.h"
#include "lifecycle_scenarios.h"
#include "twin_driver.h"

namespace {

class TwinLifecycle : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TwinLifecycle, Runs) {
  const LifecycleScenario& scenario = kLifecycleScenarios[GetParam()];
  In_Fresh_Process([&] {
    ServerFolder folder;
    TwinDriver driver(scenario.setup);
    scenario.run(driver, folder);
  });
}

INSTANTIATE_TEST_SUITE_P(Scenarios, TwinLifecycle, ::testing::Range<std::size_t>(0, kLifecycleScenarioCount),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                           return Scenario_Test_Name(param.param);
                         });

}  // namespace
