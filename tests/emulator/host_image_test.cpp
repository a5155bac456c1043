// The substitute host executable in the emulator: its image at the real addresses, and its
// routines called through their traps with the conventions the host uses.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "host_image.h"
#include "server_folder.h"
#include "x86_machine.h"

namespace {

using emulator::Convention;
using emulator::EmulationError;
using emulator::Host_Build;

constexpr std::uint32_t kData = 0x06100000;
const std::uint8_t kSignature[19] = {0x6A, 0x40, 0xFF, 0x74, 0x24, 0x0C, 0xFF, 0x74, 0x24, 0x0C,
                                     0xE8, 0xC0, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x0C, 0xC3};

struct HostImageTest : ::testing::Test {
  emulator::X86Machine machine;
  void SetUp() override { machine.Map(kData, 0x1000, emulator::kPageReadWrite, emulator::kMemPrivate, "test data"); }
  std::uint32_t Cdecl(std::uint32_t routine, const std::vector<std::uint32_t>& args) {
    return machine.Call(routine, args, Convention::Cdecl, "host routine");
  }
  bool Signature_At(std::uint32_t address) {
    return machine.Read_Bytes(address, sizeof kSignature) == std::vector<std::uint8_t>(kSignature, kSignature + 19);
  }
};

TEST_F(HostImageTest, TheSignatureLiesAtTheChosenBuildsProbesOnly) {
  const std::vector<std::vector<std::int32_t>> layouts = {{}, {0}, {1}, {4}, {0, 4}, {0, 1, 4}};
  for (const auto& chosen : layouts) {
    emulator::X86Machine fresh;
    emulator::HostImageOptions options;
    options.signature_builds = chosen;
    emulator::HostImage host(fresh, options);
    for (const auto& build : emulator::kHostBuilds) {
      const bool wanted = std::find(chosen.begin(), chosen.end(), build.build) != chosen.end();
      const auto bytes = fresh.Read_Bytes(build.probe, 19);
      EXPECT_EQ(bytes == std::vector<std::uint8_t>(kSignature, kSignature + 19), wanted) << "build " << build.build;
      if (!wanted) {
        EXPECT_EQ(bytes[0], 0xCC) << "int3 filler where no signature lies";
      }
    }
  }
}

TEST_F(HostImageTest, TheSseFlagAndTheGameDataSitWhereTheBuildsKeepThem) {
  emulator::HostImageOptions options;
  options.sse_flag = 1;
  emulator::HostImage host(machine, options);
  EXPECT_EQ(machine.Read8(Host_Build(0).sse_flag), 1);
  EXPECT_EQ(machine.Read8(Host_Build(1).sse_flag), 1);
  for (std::int32_t build : {0, 1}) {
    host.Set_Loaded_Map("C&C_Field.mix");
    const std::uint32_t game_data = Cdecl(Host_Build(build).get_game_data, {});
    EXPECT_EQ(machine.Read_C_String(machine.Read32(game_data + 0x28)), "C&C_Field.mix");
    host.Set_Loaded_Map(nullptr);
    EXPECT_EQ(machine.Read32(Cdecl(Host_Build(build).get_game_data, {}) + 0x28), 0u);
  }
  EXPECT_EQ(host.Game_Data_Calls(), 4u);
}

TEST_F(HostImageTest, TheAllocatorAccountsEachFamilyAndReportsForeignReleases) {
  emulator::HostImageOptions options;
  options.null_allocation_at = 3;
  options.null_allocation_count = 2;
  emulator::HostImage host(machine, options);
  const auto& build0 = Host_Build(0);
  const auto& build1 = Host_Build(1);
  const std::uint32_t first = Cdecl(build0.host_allocate, {16});
  const std::uint32_t second = Cdecl(build0.host_allocate_array, {0});
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(Cdecl(build0.host_allocate, {8}), 0u) << "the third call answers null";
  EXPECT_EQ(Cdecl(build0.host_allocate, {8}), 0u) << "and the fourth";
  const std::uint32_t other_family = Cdecl(build1.host_allocate, {8});
  EXPECT_NE(other_family, 0u) << "the fifth is served again";

  struct Release {
    const char* what;
    std::uint32_t routine, block;
    std::size_t foreign_after;
  };
  const Release releases[] = {
      {"its own block", build0.host_free, first, 0},
      {"the same block again", build0.host_free, first, 1},
      {"a block of another family", build0.host_free, other_family, 2},
      {"an address never given out", build0.host_free_array, 0x02FFF000, 3},
      {"null", build0.host_free, 0, 3},
      {"the array block, same routine in build 0", build0.host_free_array, second, 3},
  };
  for (const Release& release : releases) {
    SCOPED_TRACE(release.what);
    Cdecl(release.routine, {release.block});
    EXPECT_EQ(host.Allocator_Report().foreign_releases, release.foreign_after);
  }
  const auto report = host.Allocator_Report();
  EXPECT_EQ(report.allocations, 5u);
  EXPECT_EQ(report.null_results, 2u);
  EXPECT_EQ(report.null_releases, 1u);
  EXPECT_EQ(report.live_blocks, 1u) << "build 1's block";
  EXPECT_EQ(report.requested_sizes, (std::vector<std::uint32_t>{16, 0, 8, 8, 8}));
}

TEST_F(HostImageTest, TheIniLookupIsAMemberRoutineThatRemovesItsArguments) {
  ServerFolder folder;
  folder.Write("data/TEMPHarvane.ini", "; comment\n[general]\n  complex = 3 \nWalls=-2\nM01=x\n[Other]\nCity=9\n");
  emulator::HostImage host(machine, {});
  const auto& build = Host_Build(1);
  machine.Write_Bytes(kData, "TEMPHarvane.ini", 16);
  machine.Write_Bytes(kData + 0x20, "General", 8);
  const std::uint32_t ini = Cdecl(build.host_get_ini, {kData});
  ASSERT_NE(ini, 0u);
  struct Case {
    const char* key;
    std::int32_t expected;
  };
  const Case cases[] = {{"Complex", 3}, {"WALLS", -2}, {"M01", 0}, {"City", 77}, {"Under", 77}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    machine.Write_Bytes(kData + 0x40, c.key, static_cast<std::uint32_t>(std::string(c.key).size() + 1));
    // thiscall: the object in ECX; the stack check holds the routine to removing 12 bytes.
    EXPECT_EQ(static_cast<std::int32_t>(machine.Call(build.host_ini_get_int, {kData + 0x20, kData + 0x40, 77},
                                                     Convention::Thiscall, "Host_INI_Get_Int", ini)),
              c.expected);
  }
  EXPECT_THROW(machine.Call(build.host_ini_get_int, {kData + 0x20, kData + 0x40, 0}, Convention::Thiscall,
                            "Host_INI_Get_Int", 0x12345678),
               EmulationError);
  Cdecl(build.host_release_ini, {ini});
  ASSERT_EQ(host.Ini_Events().size(), 2u);
  EXPECT_EQ(host.Ini_Events()[0].what, "open TEMPHarvane.ini");
  EXPECT_TRUE(host.Ini_Events()[1].staged_copy_present);
  EXPECT_THROW(Cdecl(build.host_release_ini, {ini}), EmulationError) << "a handle released twice";
}

TEST_F(HostImageTest, BuildFourHasOnlyTheAllocatorAndEveryOtherAddressIsFiller) {
  emulator::HostImage host(machine, {});
  const auto& build4 = Host_Build(4);
  EXPECT_NE(Cdecl(build4.host_allocate, {4}), 0u);
  try {
    Cdecl(0x00500000, {});  // an address where the host has no routine
    ADD_FAILURE() << "no failure";
  } catch (const EmulationError& error) {
    EXPECT_NE(std::string(error.what()).find("int3 filler byte at 0x500000"), std::string::npos) << error.what();
  }
}

}  // namespace
