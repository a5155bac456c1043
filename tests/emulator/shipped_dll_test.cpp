// The shipped DLL under the harness's loader: where it lands, what it imports, the order of
// the loader's and the host's calls, the build it identifies, and what it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "emulated_dll_driver.h"
#include "expected_game_log.h"
#include "server_folder.h"

namespace {

using emulator::EmulationError;

void Lay_Out_Server(const ServerFolder& folder) {
  folder.Write_Settings({{"Complex", "2"}});
  folder.Write_Versions("Complex", "C&C_Complex.ldd", 2);
}

bool Called(const EmulatedDllDriver& driver, const std::string& routine) {
  for (const auto& [name, calls] : driver.Called_Routines()) {
    if (name == routine) return true;
  }
  return false;
}

TEST(ShippedDll, LoadsAtItsImageBaseAndImportsOnlyWhatTheHarnessKnows) {
  ServerFolder folder;
  EmulatedDllDriver driver(HostSetup{});
  driver.Attach();
  const emulator::LoadedModule& module = driver.Module();
  EXPECT_EQ(module.base, module.preferred_base);
  EXPECT_EQ(module.base, 0x10000000u);
  EXPECT_EQ(module.relocations_applied, 0u);
  for (const char* name : {"SSGM_Check_Version", "SSGM_Plugin_Load", "Set_Script_Commands", "SSGM_Level_Loaded_Hook",
                           "Create_Script", "Set_Request_Destroy_Func", "SSGM_Plugin_Unload"}) {
    EXPECT_EQ(module.exports.count(name), 1u) << name;
  }
  // Every import is a row of the harness's table (a new one must be added there first).
  std::vector<std::string> unknown;
  for (const emulator::ImportReference& import : module.imports) {
    const bool known = std::any_of(emulator::Import_Rows().begin(), emulator::Import_Rows().end(), [&](const auto& row) {
      return import.module == row.module && import.name == row.name;
    });
    if (!known) unknown.push_back(import.module + "!" + import.name);
  }
  EXPECT_TRUE(unknown.empty()) << ::testing::PrintToString(unknown);
  EXPECT_GT(module.imports.size(), 30u);
  // A fault address can be named from the unstripped copy.
  EXPECT_NE(driver.Machine().Name_Address(module.Export("SSGM_Check_Version")).find("SSGM_Check_Version"),
            std::string::npos);
}

TEST(ShippedDll, RunsRelocatedWhenSomethingElseHoldsItsImageBase) {
  ServerFolder folder;
  Lay_Out_Server(folder);
  EmulatorOptions options;
  options.occupy_preferred_base = true;
  EmulatedDllDriver driver(HostSetup{}, options);
  driver.Attach();
  EXPECT_NE(driver.Module().base, driver.Module().preferred_base);
  EXPECT_GT(driver.Module().relocations_applied, 100u);
  EXPECT_TRUE(driver.Check_Version());
  driver.Plugin_Load();
  EXPECT_EQ(driver.Plugin_Info_String(4), "Harvane Plug-In");
  EXPECT_EQ(driver.Plugin_Info_String(64), "2.0.2");
  EXPECT_TRUE(driver.Set_Script_Commands(816, 174));
  EXPECT_NE(driver.Take_Console().find("Number of modded versions for C&C_Complex.mix equals 2\n"), std::string::npos);
  EXPECT_EQ(folder.Read("data/C&C_Complex.ldd"), Version_Content("Complex", 1));
  driver.Level_Loaded("C&C_Complex.mix");
  EXPECT_EQ(folder.Read("data/C&C_Complex.ldd"), Version_Content("Complex", 2));
  driver.Unload();
  driver.Detach();
  EXPECT_EQ(driver.Host_Blocks().foreign_releases, 0u);
}

TEST(ShippedDll, TheLoaderAttachesFirstTheHostCallsNextAndDetachComesLast) {
  ServerFolder folder;
  Lay_Out_Server(folder);
  EmulatedDllDriver driver(HostSetup{});
  driver.Attach();
  EXPECT_TRUE(driver.Windows().Thread_Calls_Disabled()) << "DisableThreadLibraryCalls at attach";
  EXPECT_TRUE(driver.Check_Version());
  driver.Plugin_Load();
  EXPECT_TRUE(driver.Set_Script_Commands(816, 174));
  driver.Unload();
  driver.Detach();
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < driver.Module().tls_callbacks.size(); ++i) expected.push_back("TLS callback, process attach");
  expected.insert(expected.end(), {"entry point, process attach", "SSGM_Check_Version", "SSGM_Plugin_Load",
                                   "Set_Script_Commands", "SSGM_Plugin_Unload"});
  for (std::size_t i = 0; i < driver.Module().tls_callbacks.size(); ++i) expected.push_back("TLS callback, process detach");
  expected.push_back("entry point, process detach");
  EXPECT_EQ(driver.Guest_Calls(), expected);
  EXPECT_THROW(driver.Check_Version(), EmulationError) << "no call after detach";
}

TEST(ShippedDll, IdentifiesTheHostBuildByItsProbesInOrder) {
  struct Case {
    std::vector<std::int32_t> signatures;
    int expected;  // the build whose allocator serves the attach; -1: none does
  };
  const Case cases[] = {{{0}, 0}, {{1}, 1}, {{4}, 4}, {{0, 4}, 4}, {{0, 1}, 1}, {{0, 1, 4}, 4}, {{}, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.signatures));
    ServerFolder folder;
    HostSetup setup;
    setup.signature_builds = c.signatures;
    EmulatedDllDriver driver(setup);
    driver.Attach();
    for (std::int32_t build : {0, 1, 4}) {
      EXPECT_EQ(Called(driver, "host Host_Allocate (build " + std::to_string(build) + ")"), build == c.expected)
          << "build " << build;
    }
    EXPECT_EQ(driver.Host_Blocks().allocations, c.expected < 0 ? 0u : 2u) << "the two vector math objects";
    driver.Detach();
  }
}

TEST(ShippedDll, WritesTheGameLogInTextModeWithCrLf) {
  ServerFolder folder;
  Lay_Out_Server(folder);
  EmulatedDllDriver driver(HostSetup{});
  driver.Attach();
  driver.Plugin_Load();
  EXPECT_TRUE(driver.Set_Script_Commands(816, 174));
  const std::string log = folder.Read(Today_Log_File("gamelog"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n") << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  EXPECT_EQ(log.find("] _GENERAL New settings detected and loaded from Harvane.ini!\r\n"), 9u) << log;
  // The console gets the bytes as the DLL wrote them.
  EXPECT_EQ(driver.Take_Console().rfind("New settings detected and loaded from Harvane.ini!\n", 0), 0u);
  driver.Unload();
  driver.Detach();
}

TEST(ShippedDll, AMissingDllFailsNamingItRatherThanSkipping) {
  EmulatorOptions options;
  options.dll_path = "/nonexistent/Harvane.dll";
  try {
    EmulatedDllDriver driver(HostSetup{}, options);
    ADD_FAILURE() << "a driver without its DLL";
  } catch (const EmulationError& error) {
    EXPECT_NE(std::string(error.what()).find("the shipped DLL is missing: /nonexistent/Harvane.dll"), std::string::npos);
  }
}

}  // namespace
