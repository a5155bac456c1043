// Build identification, the per-build address table and the attach notice, against the
// substitute host image.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fresh_process.h"
#include "host/host_address_table.h"
#include "host/host_allocator.h"
#include "host/host_binding.h"
#include "substitute_host.h"
#include "vecmath/vector_math.h"

namespace {

using substitute_host::Layout;

struct ProbeCase {
  const char* name;
  std::vector<std::int32_t> signatures;
  std::int32_t expected_build;
};

const ProbeCase kProbeCases[] = {
    {"first alone", {0}, 0},
    {"second alone", {1}, 1},
    {"third alone", {4}, 4},
    {"first and third: the later probe decides", {0, 4}, 4},
    {"first and second", {0, 1}, 1},
    {"all three", {0, 1, 4}, 4},
    {"none", {}, 6},
};

TEST(HostBuildIdentification, ProbesDecideTheBuildInOrder) {
  for (const ProbeCase& probe_case : kProbeCases) {
    SCOPED_TRACE(probe_case.name);
    In_Fresh_Process([&] {
      substitute_host::Map_Host_Image(Layout{probe_case.signatures, 0});
      DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
      EXPECT_EQ(Current_Host_Build(), probe_case.expected_build);
    });
  }
}

TEST(HostBuildIdentification, WithoutAnImageMappedNoProbeMatchesAndNothingFaults) {
  In_Fresh_Process([] {
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(Current_Host_Build(), HostBuild_Unidentified);
    EXPECT_EQ(Host_Entry_Value(HostEntry::Host_Allocate), 0u);
  });
}

// The entries the plug-in reads, as the host's builds lay them out.
struct EntryCase {
  HostEntry entry;
  std::uint32_t build0, build1, build4;
};

const EntryCase kEntryCases[] = {
    {HostEntry::Host_Allocate, 0x672B70, 0x672410, 0x7A783D},
    {HostEntry::Host_Allocate_Array, 0x672B70, 0x672410, 0x7A783D},
    {HostEntry::Host_Free, 0x672C80, 0x672520, 0x7A7866},
    {HostEntry::Host_Free_Array, 0x672C80, 0x672520, 0x7A7866},
    {HostEntry::Host_SSE_Flag, 0x84F702, 0x84E8EA, 0},
    {HostEntry::Further_Routine_A, 0x4287E0, 0x428960, 0},
    {HostEntry::Further_Routine_B, 0x428B50, 0x428CD0, 0},
    {HostEntry::Second_Flag_Byte, 0x84F706, 0x84E8EE, 0},
    {HostEntry::Step3_Routine, 0x402AA0, 0x402AA0, 0},
    {HostEntry::Get_Game_Data, 0x477CA0, 0x477370, 0},
    {HostEntry::Host_Get_INI, 0x6DAB30, 0x6DA3D0, 0},
    {HostEntry::Host_Release_INI, 0x6DABE0, 0x6DA480, 0},
    {HostEntry::Host_INI_Get_Int, 0x5E10B0, 0x5E0950, 0},
    {HostEntry::Attach_Routine_A, 0, 0x526540, 0},
    {HostEntry::Attach_Routine_B, 0, 0x5265B0, 0},
    {HostEntry::Attach_Routine_C, 0, 0x8110EC, 0},
};

std::uint32_t Expected(const EntryCase& entry_case, std::int32_t build) {
  switch (build) {
    case 0: return entry_case.build0;
    case 1: return entry_case.build1;
    case 4: return entry_case.build4;
    default: return 0;
  }
}

TEST(HostAddressTable, AttachBindsEveryEntryOfTheIdentifiedBuild) {
  for (std::int32_t build : {0, 1, 4, 6}) {
    SCOPED_TRACE("build " + std::to_string(build));
    In_Fresh_Process([&] {
      std::vector<std::int32_t> signatures;
      if (build != 6) signatures.push_back(build);
      substitute_host::Map_Host_Image(Layout{signatures, 0});
      DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
      for (const EntryCase& entry_case : kEntryCases) {
        EXPECT_EQ(Host_Entry_Value(entry_case.entry), Expected(entry_case, build))
            << "entry " << static_cast<int>(entry_case.entry);
      }
    });
  }
}

TEST(HostAddressTable, BuildsTwoAndThreeKeepTheirKnownRows) {
  EXPECT_EQ(Host_Address_For(HostEntry::Host_Allocate, 2), 0x804AA48u);
  EXPECT_EQ(Host_Address_For(HostEntry::Host_Free_Array, 3), 0x8053A54u);
  EXPECT_EQ(Host_Address_For(HostEntry::Host_INI_Get_Int, 3), 0x830832Eu);
  EXPECT_EQ(Host_Address_For(HostEntry::Step3_Routine, 2), 0u);
  EXPECT_EQ(Host_Address_For(HostEntry::Host_Allocate, 6), 0u);
}

TEST(HostAddressTable, InitFillsStepsOneToFifteenButNotTheAttachStep) {
  In_Fresh_Process([] {
    substitute_host::Map_Host_Image(Layout{{1}, 0});
    Init_Host_Bindings();
    EXPECT_EQ(Host_Entry_Value(HostEntry::Host_INI_Get_Int), 0x5E0950u);
    EXPECT_EQ(Host_Entry_Value(HostEntry::Attach_Routine_A), 0u);
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(Host_Entry_Value(HostEntry::Attach_Routine_A), 0x526540u);
  });
}

TEST(HostBinding, FirstAllocationBeforeAttachBindsAndAttachDoesNotProbeAgain) {
  In_Fresh_Process([] {
    substitute_host::Map_Host_Image(Layout{{1}, 0});
    void* block = Host_Operator_New(24);  // as a static object's allocation would
    EXPECT_EQ(Current_Host_Build(), HostBuild_Second);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(substitute_host::Allocator_Report().live_blocks, 3u) << "two vector math objects and the block";
    // Move the signature: a second identification would now say build 0.
    substitute_host::Set_Signature(1, false);
    substitute_host::Set_Signature(0, true);
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(Current_Host_Build(), HostBuild_Second);
    EXPECT_EQ(Host_Entry_Value(HostEntry::Attach_Routine_B), 0x5265B0u) << "the attach step is filled all the same";
    Host_Operator_Delete(block);
  });
}

TEST(HostBinding, ArrayAllocationBindsOnItsOwnEntry) {
  In_Fresh_Process([] {
    substitute_host::Map_Host_Image(Layout{{0}, 0});
    void* block = Host_Operator_New_Array(5);
    EXPECT_EQ(Current_Host_Build(), HostBuild_First);
    Host_Operator_Delete_Array(block);
  });
}

TEST(HostBinding, DetachAndThreadNoticesChangeNothing) {
  for (DWORD reason : {0u, 2u, 3u}) {
    SCOPED_TRACE(reason);
    In_Fresh_Process([&] {
      substitute_host::Map_Host_Image(Layout{{0}, 0});
      EXPECT_EQ(DllMain(nullptr, reason, nullptr), TRUE);
      EXPECT_EQ(Current_Host_Build(), HostBuild_Unidentified);
      EXPECT_EQ(Host_Entry_Value(HostEntry::Host_Allocate), 0u);
      EXPECT_EQ(Vector3Math, nullptr);
    });
  }
}

}  // namespace
