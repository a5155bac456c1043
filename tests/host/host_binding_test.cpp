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

struct VectorMathCase {
  const char* name;
  std::vector<std::int32_t> signatures;
  unsigned char flag;
  bool expect_sse;
};

TEST(VectorMath, TheHostFlagChoosesTheFourComponentClass) {
  const VectorMathCase cases[] = {
      {"build 0, flag 0", {0}, 0, false},
      {"build 0, flag 1", {0}, 1, true},
      {"build 1, flag 0x80", {1}, 0x80, true},
      {"build 4 has no flag address", {4}, 1, false},
  };
  for (const VectorMathCase& vector_case : cases) {
    SCOPED_TRACE(vector_case.name);
    In_Fresh_Process([&] {
      substitute_host::Map_Host_Image(Layout{vector_case.signatures, vector_case.flag});
      DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
      ASSERT_NE(Vector3Math, nullptr);
      ASSERT_NE(Vector4Math, nullptr);
      EXPECT_EQ(dynamic_cast<_Vector4MathFunctionsSSE*>(Vector4Math) != nullptr, vector_case.expect_sse);
      const Vector4 sum = Vector4Math->Add(Vector4{1, 2, 3, 4}, Vector4{1, 1, 1, 1});
      EXPECT_EQ(sum.w, 5.0f);
      EXPECT_EQ(substitute_host::Allocator_Report().live_blocks, 2u) << "both objects live on the host's heap";
    });
  }
}

TEST(VectorMath, AnObjectWithoutMemoryStaysNullAndTheOtherIsCreated) {
  for (std::size_t failing : {std::size_t{1}, std::size_t{2}}) {
    SCOPED_TRACE(failing);
    In_Fresh_Process([&] {
      substitute_host::Map_Host_Image(Layout{{0}, 1});
      substitute_host::Yield_Null_From(failing);
      DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
      EXPECT_EQ(Vector3Math == nullptr, failing == 1);
      EXPECT_EQ(Vector4Math == nullptr, failing == 2);
    });
  }
}

TEST(HostAllocator, SizesAndNullBlocksPassUnchanged) {
  In_Fresh_Process([] {
    substitute_host::Map_Host_Image(Layout{{0}, 0});
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    const std::size_t before = substitute_host::Requested_Sizes().size();
    void* empty = Host_Operator_New(0);
    void* array = Host_Operator_New_Array(4097);
    substitute_host::Yield_Null_From(substitute_host::Allocator_Report().allocations + 1);
    EXPECT_EQ(Host_Operator_New(16), nullptr);
    const auto sizes = substitute_host::Requested_Sizes();
    EXPECT_EQ(std::vector<std::size_t>(sizes.begin() + static_cast<long>(before), sizes.end()),
              (std::vector<std::size_t>{0, 4097, 16}));
    Host_Operator_Delete(nullptr);
    Host_Operator_Delete_Array(nullptr);
    EXPECT_EQ(substitute_host::Allocator_Report().null_releases, 2u) << "a null block still goes to the host";
    Host_Operator_Delete(empty);
    Host_Operator_Delete_Array(array);
    EXPECT_EQ(substitute_host::Allocator_Report().foreign_releases, 0u);
  });
}

TEST(HostAllocator, EachFormTestsItsOwnEntry) {
  In_Fresh_Process([] {
    substitute_host::Map_Host_Image(Layout{{0}, 0});
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    // The array entry unbound while the single one is bound: the array form must not
    // borrow the single form's routine.
    Set_Host_Entry(HostEntry::Host_Allocate_Array, 0);
    Set_Host_Entry(HostEntry::Host_Free_Array, 0);
    const std::size_t host_calls = substitute_host::Allocator_Report().allocations;
    void* array = Host_Operator_New_Array(32);
    EXPECT_EQ(substitute_host::Allocator_Report().allocations, host_calls);
    Host_Operator_Delete_Array(array);
    void* single = Host_Operator_New(32);
    EXPECT_EQ(substitute_host::Allocator_Report().allocations, host_calls + 1);
    Host_Operator_Delete(single);
    EXPECT_EQ(substitute_host::Allocator_Report().foreign_releases, 0u);
  });
}

TEST(HostAllocator, AnUnrecognisedHostIsNeverCalledAndBindingRunsOnce) {
  In_Fresh_Process([] {
    substitute_host::Map_Host_Image(Layout{{}, 0});
    void* early = Host_Operator_New(8);  // binds, finds nothing
    ASSERT_NE(early, nullptr) << "the C runtime heap serves instead";
    EXPECT_TRUE(Host_Binding_Attempted());
    // Were binding started again, the signature laid now would be found.
    substitute_host::Set_Signature(0, true);
    void* later = Host_Operator_New_Array(8);
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(Current_Host_Build(), HostBuild_Unidentified);
    EXPECT_EQ(substitute_host::Allocator_Report().allocations, 0u);
    EXPECT_NE(Vector3Math, nullptr);
    EXPECT_NE(Vector4Math, nullptr);
    Host_Operator_Delete(early);
    Host_Operator_Delete_Array(later);
    EXPECT_EQ(substitute_host::Allocator_Report().releases + substitute_host::Allocator_Report().null_releases, 0u);
  });
}

}  // namespace
