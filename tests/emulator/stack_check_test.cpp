// The stack check has teeth: told a host routine's convention wrongly, the harness returns
// from it with the stack where that convention leaves it, and a lifecycle scenario then
// fails with a message that names the routine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emulated_dll_driver.h"
#include "lifecycle_scenarios.h"

namespace {

using emulator::Convention;
using emulator::EmulationError;

const DriverScenario& Scenario(const char* name) {
  for (std::size_t i = 0; i < kLifecycleScenarioCount; ++i) {
    if (std::strcmp(kLifecycleScenarios[i].name, name) == 0) return kLifecycleScenarios[i];
  }
  throw std::invalid_argument(std::string("no lifecycle scenario ") + name);
}

// Runs the scenario with one routine declared wrongly; returns the failure's message.
std::string Failure_With(const char* routine, emulator::RoutineDeclaration wrong, bool shadow_stack) {
  const DriverScenario& scenario = Scenario("whole life, build 0");
  ServerFolder folder;
  EmulatorOptions options;
  options.host_declarations[routine] = wrong;
  options.shadow_stack = shadow_stack;
  EmulatedDllDriver driver(scenario.setup, options);
  try {
    scenario.run(driver, folder);
    driver.Detach();
  } catch (const EmulationError& error) {
    return error.what();
  }
  return "";
}

struct WrongDeclaration {
  const char* routine;
  emulator::RoutineDeclaration wrong;
  const char* failing_call;  // the host's call during which the imbalance shows
};

const WrongDeclaration kWrongDeclarations[] = {
    {"Host_Allocate", {Convention::Stdcall, 4}, "entry point, process attach"},
    {"Host_Free", {Convention::Stdcall, 4}, "SSGM_Plugin_Unload"},
    {"Host_Get_INI", {Convention::Stdcall, 4}, "Set_Script_Commands"},
    {"Host_INI_Get_Int", {Convention::Cdecl, 0}, "Set_Script_Commands"},
    {"Host_INI_Get_Int", {Convention::Thiscall, 8}, "Set_Script_Commands"},
    {"Get_Game_Data", {Convention::Stdcall, 4}, "SSGM_Level_Loaded_Hook"},
    {"Host_Release_INI", {Convention::Stdcall, 4}, "SSGM_Plugin_Unload"},
};

TEST(StackCheck, AHostRoutineDeclaredWronglyFailsTheScenarioNamingIt) {
  for (const WrongDeclaration& c : kWrongDeclarations) {
    SCOPED_TRACE(std::string(c.routine) + " as " + emulator::Convention_Name(c.wrong.convention) + " removing " +
                 std::to_string(c.wrong.arg_bytes));
    const std::string failure = Failure_With(c.routine, c.wrong, true);
    ASSERT_NE(failure, "") << "the scenario passed";
    EXPECT_EQ(failure.rfind(c.failing_call, 0), 0u) << failure;
    EXPECT_NE(failure.find("stack out of balance"), std::string::npos) << failure;
    const std::string suspects = failure.substr(failure.find("returned into it"));
    EXPECT_NE(suspects.find(std::string("host ") + c.routine + " (build 0)"), std::string::npos) << failure;
  }
}

TEST(StackCheck, WithoutTheShadowStackTheExportLevelCheckStillFailsTheScenario) {
  for (const WrongDeclaration& c : kWrongDeclarations) {
    SCOPED_TRACE(c.routine);
    const std::string failure = Failure_With(c.routine, c.wrong, false);
    ASSERT_NE(failure, "") << "the scenario passed";
    EXPECT_EQ(failure.rfind(c.failing_call, 0), 0u) << failure;
    EXPECT_NE(failure.find(std::string("host ") + c.routine), std::string::npos)
        << "the routine is among the last ones called:\n" << failure;
  }
}

TEST(StackCheck, TheTrueDeclarationsPassTheSameScenario) {
  const std::string failure =
      Failure_With("Host_INI_Get_Int", emulator::Host_Routine_Declarations().at("Host_INI_Get_Int"), true);
  EXPECT_EQ(failure, "");
}

}  // namespace
