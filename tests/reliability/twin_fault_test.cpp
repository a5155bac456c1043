// The fault scenarios against the Linux twin, each in a fresh process; and the host allocator
// answering null at every allocation of a whole life, one fresh process per allocation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "fault_scenarios.h"
#include "fresh_process.h"
#include "twin_driver.h"

namespace {

class TwinFaults : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TwinFaults, Survived) { Run_On_Twin_In_Fresh_Process(kFaultScenarios[GetParam()]); }

INSTANTIATE_TEST_SUITE_P(Scenarios, TwinFaults, ::testing::Range<std::size_t>(0, kFaultScenarioCount),
                         ScenarioTestName(kFaultScenarios));

// The reference life runs in a child of its own; its profile comes back through a pipe.
LifeProfile Profile_Of_The_Reference_Life() {
  int channel[2];
  if (::pipe(channel) != 0) {
    ADD_FAILURE() << "no pipe";
    return {};
  }
  In_Fresh_Process([&] {
    ::close(channel[0]);
    ServerFolder folder;
    TwinDriver driver(HostSetup{});
    const LifeProfile profile = Live_Reference_Life(driver, folder);
    if (::write(channel[1], &profile, sizeof profile) != static_cast<ssize_t>(sizeof profile)) {
      ADD_FAILURE() << "the profile did not reach the parent";
    }
  });
  ::close(channel[1]);
  LifeProfile profile;
  const bool received = ::read(channel[0], &profile, sizeof profile) == static_cast<ssize_t>(sizeof profile);
  ::close(channel[0]);
  if (!received) ADD_FAILURE() << "no profile from the reference life";
  return received ? profile : LifeProfile{};
}

TEST(TwinHostAllocatorNull, AtEveryAllocationOfAWholeLife) {
  const LifeProfile reference = Profile_Of_The_Reference_Life();
  ASSERT_GT(reference.total, reference.after_attach) << "the life made no allocation past the attach";
  std::size_t lives = 0;
  // One null at a time, then the host out of memory for good from the nth call on; one call
  // past the total is the control where no null comes.
  for (std::size_t count : {std::size_t{1}, std::size_t{0}}) {
    for (std::size_t nth = 1; nth <= reference.total + 1; ++nth) {
      SCOPED_TRACE("null from allocation " + std::to_string(nth) + (count == 0 ? " on" : " only"));
      In_Fresh_Process([&] {
        ServerFolder folder;
        TwinDriver driver(Null_Allocation_Setup(nth, count));
        Live_Life_With_Null_Allocations(driver, folder, reference, nth, count);
      });
      ++lives;
    }
  }
  std::printf("host allocator answered null in %zu lives; a life makes %zu allocations (%zu at attach)\n", lives,
              reference.total, reference.after_attach);
}

}  // namespace
