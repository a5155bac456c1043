// The CPU dressed as a Win32 thread, its traps and its checks, on small pieces of x86 code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "windows_side.h"
#include "x86_machine.h"

namespace {

using emulator::Convention;
using emulator::EmulationError;
using emulator::X86Machine;

constexpr std::uint32_t kCode = 0x06000000;
constexpr std::uint32_t kData = 0x06100000;

struct Machine : ::testing::Test {
  X86Machine machine;
  void SetUp() override {
    machine.Map(kCode, 0x1000, emulator::kPageExecuteRead, emulator::kMemPrivate, "test code");
    machine.Map(kData, 0x1000, emulator::kPageReadWrite, emulator::kMemPrivate, "test data");
  }
  std::uint32_t Code(std::uint32_t offset, const std::vector<std::uint8_t>& bytes) {
    machine.Write_Bytes(kCode + offset, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return kCode + offset;
  }
  // The message of the EmulationError a call raises ("" when it raises none).
  std::string Failure_Of(std::uint32_t function, const std::vector<std::uint32_t>& args, Convention convention) {
    try {
      machine.Call(function, args, convention, "test code");
    } catch (const EmulationError& error) {
      return error.what();
    }
    return "";
  }
};

TEST_F(Machine, FsReachesTheTebAndTheStackIsFlat32Bit) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> code;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"fs:[0], the exception chain head", {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xC3}, 0xFFFFFFFFu},
      {"fs:[0x18], the TEB itself", {0x64, 0xA1, 0x18, 0x00, 0x00, 0x00, 0xC3}, X86Machine::kTebAddress},
      {"fs:[0x30], the PEB", {0x64, 0xA1, 0x30, 0x00, 0x00, 0x00, 0xC3}, X86Machine::kPebAddress},
      {"fs:[4], the stack base", {0x64, 0xA1, 0x04, 0x00, 0x00, 0x00, 0xC3}, X86Machine::kStackTop},
      {"a 32-bit push and pop", {0x68, 0x78, 0x56, 0x34, 0x12, 0x58, 0xC3}, 0x12345678u},
      {"ds reads flat memory", {0xA1, 0x00, 0x00, 0x10, 0x06, 0xC3}, 0xFEEDF00Du},
  };
  machine.Write32(kData, 0xFEEDF00Du);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(machine.Call(Code(0, c.code), {}, Convention::Cdecl, c.what), c.expected);
  }
  EXPECT_EQ(machine.Read32(X86Machine::kPebAddress + 8), 0x00400000u) << "the PEB names the host's image base";
}

TEST_F(Machine, TheStackCheckHoldsEachCallToItsConvention) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> code;
    std::vector<std::uint32_t> args;
    Convention convention;
    const char* failure;  // a part of the message, or null: no failure
  };
  const Case cases[] = {
      {"cdecl routine, cdecl call", {0xC3}, {1, 2}, Convention::Cdecl, nullptr},
      {"stdcall routine, stdcall call", {0xC2, 0x08, 0x00}, {1, 2}, Convention::Stdcall, nullptr},
      {"stdcall routine called as cdecl", {0xC2, 0x08, 0x00}, {1, 2}, Convention::Cdecl, "8 bytes above"},
      {"cdecl routine called as stdcall", {0xC3}, {1}, Convention::Stdcall, "4 bytes below"},
      {"thiscall routine removing too little", {0xC2, 0x04, 0x00}, {1, 2}, Convention::Thiscall, "4 bytes below"},
      {"EBX clobbered", {0xBB, 0x01, 0x00, 0x00, 0x00, 0xC3}, {}, Convention::Cdecl, "EBX"},
      {"EBP clobbered", {0x31, 0xED, 0xC3}, {}, Convention::Cdecl, "EBP"},
      {"direction flag left set", {0xFD, 0xC3}, {}, Convention::Cdecl, "direction flag"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string failure = Failure_Of(Code(0, c.code), c.args, c.convention);
    if (c.failure == nullptr) {
      EXPECT_EQ(failure, "");
    } else {
      EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
    }
  }
}

TEST_F(Machine, TheShadowStackNamesTheFunctionOutOfBalanceAndTheRoutinesThatReturnedIntoIt) {
  // A harness routine that removes its 4 argument bytes, called by code that expects cdecl.
  machine.Place_Trap(kCode + 0x100, {"test routine", Convention::Stdcall, 4, [](emulator::TrapCall&) { return 0u; }});
  // outer: call inner; ret          inner: push 1; call routine; add esp, 4; ret
  const std::uint32_t outer = Code(0, {0xE8, 0x0B, 0x00, 0x00, 0x00, 0xC3});
  Code(0x10, {0x6A, 0x01, 0xE8, 0xE9, 0x00, 0x00, 0x00, 0x83, 0xC4, 0x04, 0xC3});
  const std::string failure = Failure_Of(outer, {}, Convention::Cdecl);
  EXPECT_NE(failure.find("stack out of balance: the function at 0x6000010"), std::string::npos) << failure;
  EXPECT_NE(failure.find("4 bytes above"), std::string::npos) << failure;
  EXPECT_NE(failure.find("test routine, 1 call (the harness treats it as stdcall, removing 4"), std::string::npos)
      << failure;

  // Balanced nesting passes, however deep.
  machine.Place_Trap(kCode + 0x200, {"cdecl routine", Convention::Cdecl, 4, [](emulator::TrapCall& call) {
                                       return call.Arg(0) * 2;
                                     }});
  Code(0x30, {0xE8, 0x0B, 0x00, 0x00, 0x00, 0xC3});                                    // call +0x40
  Code(0x40, {0x6A, 0x15, 0xE8, 0xB9, 0x01, 0x00, 0x00, 0x83, 0xC4, 0x04, 0xC3});      // push 21; call routine
  EXPECT_EQ(machine.Call(kCode + 0x30, {}, Convention::Cdecl, "nested"), 42u);
}

TEST_F(Machine, FaultsStopTheCallWithWhereAndWhat) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> code;
    const char* failure;
  };
  const Case cases[] = {
      {"read of unmapped memory", {0xA1, 0x00, 0x00, 0x90, 0x00, 0xC3}, "read from unmapped memory, 4 bytes at 0x900000"},
      {"write to read-only code", {0xC7, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x00, 0x00, 0x00, 0xC3}, "write to protected memory"},
      {"jump into nowhere", {0xB8, 0x00, 0x00, 0x00, 0x50, 0xFF, 0xE0}, "execution of unmapped memory"},
      {"int3", {0xCC}, "int3 filler byte at 0x6000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string failure = Failure_Of(Code(0, c.code), {}, Convention::Cdecl);
    EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
  }
}

TEST_F(Machine, VirtualQueryAnswersFromTheEmulatorsMemoryMap) {
  emulator::WindowsSide windows(machine, {});
  const std::uint32_t virtual_query = windows.Resolve_Import({"KERNEL32.dll", "VirtualQuery", 0, 0});
  machine.Map(0x00400000, 0x2000, emulator::kPageExecuteRead, emulator::kMemImage, "image code", 0x00400000);
  machine.Map(0x00402000, 0x1000, emulator::kPageReadWrite, emulator::kMemImage, "image data", 0x00400000);
  struct Case {
    const char* what;
    std::uint32_t address;
    std::uint32_t state, protect, type, base, size, allocation_base;
  };
  const Case cases[] = {
      {"inside code", 0x00401234, emulator::kMemCommit, emulator::kPageExecuteRead, emulator::kMemImage, 0x00401000,
       0x1000, 0x00400000},
      {"start of code", 0x00400000, emulator::kMemCommit, emulator::kPageExecuteRead, emulator::kMemImage, 0x00400000,
       0x2000, 0x00400000},
      {"data of the same image", 0x00402FFF, emulator::kMemCommit, emulator::kPageReadWrite, emulator::kMemImage,
       0x00402000, 0x1000, 0x00400000},
      {"past the image", 0x00403000, emulator::kMemFree, emulator::kPageNoAccess, 0, 0x00403000, 0, 0},
      {"the null page", 0x00000010, emulator::kMemFree, emulator::kPageNoAccess, 0, 0, 0, 0},
      {"the stack", X86Machine::kStackTop - 8, emulator::kMemCommit, emulator::kPageReadWrite, emulator::kMemPrivate,
       X86Machine::kStackTop - 0x1000, 0x1000, X86Machine::kStackBottom},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(machine.Call(virtual_query, {c.address, kData, 28}, Convention::Stdcall, "VirtualQuery"), 28u);
    EXPECT_EQ(machine.Read32(kData + 0), c.base);
    EXPECT_EQ(machine.Read32(kData + 16), c.state);
    EXPECT_EQ(machine.Read32(kData + 20), c.protect);
    EXPECT_EQ(machine.Read32(kData + 24), c.type);
    if (c.size != 0) {
      EXPECT_EQ(machine.Read32(kData + 12), c.size);
    }
    EXPECT_EQ(machine.Read32(kData + 4), c.allocation_base);
  }
  EXPECT_EQ(machine.Call(virtual_query, {0x00401000, kData, 27}, Convention::Stdcall, "short buffer"), 0u);
}

TEST_F(Machine, VirtualProtectChangesWhatTheGuestMayDoAndWhatVirtualQuerySays) {
  emulator::WindowsSide windows(machine, {});
  const std::uint32_t virtual_protect = windows.Resolve_Import({"KERNEL32.dll", "VirtualProtect", 0, 0});
  const std::uint32_t store = Code(0x20, {0xC7, 0x05, 0x00, 0x00, 0x00, 0x06, 0x2A, 0x00, 0x00, 0x00, 0xC3});
  EXPECT_NE(Failure_Of(store, {}, Convention::Cdecl).find("write to protected memory"), std::string::npos);
  EXPECT_EQ(machine.Call(virtual_protect, {kCode, 0x10, emulator::kPageExecuteReadWrite, kData}, Convention::Stdcall,
                         "VirtualProtect"),
            1u);
  EXPECT_EQ(machine.Read32(kData), emulator::kPageExecuteRead) << "the old protection";
  EXPECT_EQ(machine.Query(kCode).protect, emulator::kPageExecuteReadWrite);
  EXPECT_EQ(Failure_Of(store, {}, Convention::Cdecl), "");
  EXPECT_EQ(machine.Read32(kCode), 42u);
}

}  // namespace
