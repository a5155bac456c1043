#include "fresh_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string Describe(int status) {
  if (WIFEXITED(status)) return "child exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "child killed by signal " + std::to_string(WTERMSIG(status));
  return "child ended oddly";
}

// Failures recorded after `first_part`: the child inherits the parent's earlier ones.
bool Failed_Since(int first_part) {
  const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  for (int part = first_part; part < result->total_part_count(); ++part) {
    if (result->GetTestPartResult(part).failed()) return true;
  }
  return false;
}

int Parts_So_Far() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

}  // namespace

void In_Fresh_Process(const std::function<void()>& scenario) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0) << "fork failed";
  const int first_part = Parts_So_Far();
  if (child == 0) {
    scenario();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(Failed_Since(first_part) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Describe(status);
}
