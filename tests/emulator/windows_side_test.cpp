// The Windows side of the harness, called through its import stubs as the DLL calls them:
// files and their error codes, text mode, the console, the extension library's lookups, and
// loud failure for what the harness does not implement.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "server_folder.h"
#include "windows_side.h"
#include "x86_machine.h"

namespace {

using emulator::Convention;
using emulator::EmulationError;

constexpr std::uint32_t kData = 0x06100000;

struct WindowsSideTest : ::testing::Test {
  emulator::X86Machine machine;
  std::unique_ptr<emulator::WindowsSide> windows_side;
  std::uint32_t next_string = kData;

  virtual emulator::ExtensionLibraryShape Shape() const { return {}; }
  void SetUp() override {
    windows_side = std::make_unique<emulator::WindowsSide>(machine, Shape());
    machine.Map(kData, 0x10000, emulator::kPageReadWrite, emulator::kMemPrivate, "test data");
  }
  emulator::WindowsSide& Windows() { return *windows_side; }

  std::uint32_t String(const std::string& text) {
    const std::uint32_t at = next_string;
    machine.Write_Bytes(at, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
    next_string += static_cast<std::uint32_t>(text.size() + 16) & ~15u;
    return at;
  }
  std::uint32_t Import(const char* module, const char* name) { return Windows().Resolve_Import({module, name, 0, 0}); }
  std::uint32_t Kernel32(const char* name, const std::vector<std::uint32_t>& args) {
    return machine.Call(Import("KERNEL32.dll", name), args, Convention::Stdcall, name);
  }
  std::uint32_t Crt(const char* name, const std::vector<std::uint32_t>& args) {
    return machine.Call(Import("msvcrt.dll", name), args, Convention::Cdecl, name);
  }
};

TEST_F(WindowsSideTest, CopyFileAnswersWithWindowsErrorCodes) {
  ServerFolder folder;
  folder.Write("source.txt", "payload");
  folder.Write("data/existing.txt", "old");
  struct Case {
    const char* what;
    const char* source;
    const char* target;
    bool fail_if_exists;
    std::uint32_t error;  // 0: the copy succeeds
  };
  const Case cases[] = {
      {"a plain copy, backslashes", "source.txt", "data\\copy.txt", false, 0},
      {"overwriting allowed", "source.txt", "data\\existing.txt", false, 0},
      {"overwriting refused", "source.txt", "data\\existing.txt", true, 80},
      {"missing source", "absent.txt", "data\\x.txt", false, 2},
      {"source in a missing folder", "Complex9\\C&C_Complex.ldd", "data\\x.txt", false, 3},
      {"target in a missing folder", "source.txt", "nowhere\\x.txt", false, 3},
      {"source is a folder", "data", "copy-of-data", false, 5},
      {"target is a folder", "source.txt", "data", false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Kernel32("SetLastError", {0});
    const std::uint32_t copied = Kernel32("CopyFileA", {String(c.source), String(c.target), c.fail_if_exists});
    EXPECT_EQ(copied, c.error == 0 ? 1u : 0u);
    EXPECT_EQ(Kernel32("GetLastError", {}), c.error);
    if (c.error == 0) {
      std::string target = c.target;
      for (char& ch : target) ch = ch == '\\' ? '/' : ch;
      EXPECT_EQ(folder.Read(target), "payload");
    }
  }
  EXPECT_EQ(folder.Read("data/existing.txt"), "payload");
}

TEST_F(WindowsSideTest, TextModeFilesWriteLineFeedsAsCrLfAndTheConsoleKeepsTheBytes) {
  ServerFolder folder;
  struct Case {
    const char* mode;
    const char* expected;
  };
  const Case cases[] = {{"a", "one\r\ntwo\r\nz"}, {"ab", "one\ntwo\nz"}, {"w", "one\r\ntwo\r\nz"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::uint32_t file = Crt("fopen", {String(std::string("log-") + c.mode + ".txt"), String(c.mode)});
    ASSERT_NE(file, 0u);
    Crt("fputs", {String("one\ntwo"), file});
    const std::uint32_t line = String("\nz");
    EXPECT_EQ(Crt("fwrite", {line, 1, 2, file}), 2u);
    EXPECT_EQ(Crt("fclose", {file}), 0u);
    EXPECT_EQ(folder.Read(std::string("log-") + c.mode + ".txt"), c.expected);
  }
  EXPECT_EQ(Crt("fopen", {String("no\\such\\folder.txt"), String("a")}), 0u);
  EXPECT_EQ(machine.Read32(Crt("_errno", {})), 2u) << "ENOENT";

  // The console is _iob[1]: the bytes as handed over, in order.
  const std::uint32_t stdout_file = Import("msvcrt.dll", "_iob") + 32;  // the slot points at the array itself
  Crt("fputc", {'A', stdout_file});
  Crt("fputs", {String("\nB\n"), stdout_file});
  Crt("fwrite", {String("C\n"), 2, 1, stdout_file});
  EXPECT_EQ(Windows().Take_Console(), "A\nB\nC\n");
  EXPECT_EQ(Windows().Take_Console(), "");
}

TEST_F(WindowsSideTest, TheExtensionLibraryAnswersEveryNameButTheMissingOnes) {
  const std::uint32_t handle = Windows().Extension_Library_Handle();
  const std::uint32_t first = Kernel32("GetProcAddress", {handle, String("New_Enable_Stealth")});
  const std::uint32_t second = Kernel32("GetProcAddress", {handle, String("GetExplosionObj")});
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, first);
  EXPECT_EQ(Kernel32("GetProcAddress", {handle, String("New_Enable_Stealth")}), first) << "stable";
  EXPECT_EQ(Windows().Extension_Export_Address("GetExplosionObj"), second);
  EXPECT_TRUE(machine.Region_At(first) != nullptr && machine.Region_At(first)->name == "bhs.dll");
  // Its exports are never to be called: they are int3.
  EXPECT_EQ(machine.Read8(first), 0xCC);

  // The system modules answer with their stubs, and not for what the harness lacks.
  const std::uint32_t kernel32 = Kernel32("GetModuleHandleA", {String("kernel32.dll")});
  EXPECT_EQ(kernel32, emulator::WindowsSide::kKernel32Base);
  EXPECT_EQ(Kernel32("GetProcAddress", {kernel32, String("GetLastError")}), Import("KERNEL32.dll", "GetLastError"));
  EXPECT_EQ(Kernel32("GetProcAddress", {kernel32, String("MultiByteToWideChar")}), 0u);
  EXPECT_EQ(Kernel32("GetLastError", {}), 127u);
  EXPECT_EQ(Kernel32("GetModuleHandleA", {String("libgcc_s_dw2-1.dll")}), 0u);
  EXPECT_EQ(Kernel32("GetLastError", {}), 126u);
  EXPECT_EQ(Kernel32("GetModuleHandleA", {0}), 0x00400000u) << "the host executable";
}

struct MissingExports : WindowsSideTest {
  emulator::ExtensionLibraryShape Shape() const override { return {false, {"New_Display_Text_Player"}}; }
};

TEST_F(MissingExports, AMissingNameAnswersNullWithProcNotFound) {
  const std::uint32_t handle = Windows().Extension_Library_Handle();
  EXPECT_EQ(Kernel32("GetProcAddress", {handle, String("New_Display_Text_Player")}), 0u);
  EXPECT_EQ(Kernel32("GetLastError", {}), 127u);
  EXPECT_NE(Kernel32("GetProcAddress", {handle, String("New_Display_Text")}), 0u);
}

TEST_F(WindowsSideTest, MessageBoxIsRecorded) {
  EXPECT_EQ(machine.Call(Import("USER32.dll", "MessageBoxA"), {0, String("the text"), String("the caption"), 0x30},
                         Convention::Stdcall, "MessageBoxA"),
            1u);
  const auto boxes = Windows().Take_Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "the caption");
  EXPECT_EQ(boxes[0].text, "the text");
  EXPECT_EQ(boxes[0].style, 0x30u);
}

TEST_F(WindowsSideTest, WhatTheHarnessDoesNotImplementFailsLoudlyByName) {
  struct Case {
    const char* module;
    const char* name;
    const char* failure;
  };
  const Case cases[] = {
      {"msvcrt.dll", "vfprintf", "msvcrt.dll!vfprintf, which the harness does not implement"},
      {"KERNEL32.dll", "WideCharToMultiByte", "KERNEL32.dll!WideCharToMultiByte, which the harness does not implement"},
      {"msvcrt.dll", "_wassert", "msvcrt.dll!_wassert, which the harness does not implement"},  // in no row
      {"kernel32.dll", "ExitProcess", "KERNEL32.dll!ExitProcess, which the harness does not implement"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      machine.Call(Import(c.module, c.name), {0}, Convention::Cdecl, c.name);
      ADD_FAILURE() << "no failure";
    } catch (const EmulationError& error) {
      EXPECT_NE(std::string(error.what()).find(c.failure), std::string::npos) << error.what();
    }
  }
  try {
    Import("ADVAPI32.dll", "RegOpenKeyA");
    ADD_FAILURE() << "an import from a fourth module was bound";
  } catch (const EmulationError& error) {
    EXPECT_NE(std::string(error.what()).find("ADVAPI32.dll"), std::string::npos) << error.what();
  }
}

TEST_F(WindowsSideTest, TheCHeapRefusesBlocksItNeverGaveOut) {
  const std::uint32_t block = Crt("malloc", {24});
  ASSERT_NE(block, 0u);
  const std::uint32_t zeroed = Crt("calloc", {4, 4});
  EXPECT_EQ(machine.Read32(zeroed + 12), 0u);
  machine.Write32(block, 0x01020304);
  const std::uint32_t grown = Crt("realloc", {block, 64});
  EXPECT_EQ(machine.Read32(grown), 0x01020304u) << "realloc keeps the contents";
  Crt("free", {grown});
  Crt("free", {0});
  EXPECT_EQ(Windows().Crt_Live_Blocks(), 1u);
  for (std::uint32_t bad : {grown, block + 4}) {
    try {
      Crt("free", {bad});
      ADD_FAILURE() << "free of a bad block passed";
    } catch (const EmulationError& error) {
      EXPECT_NE(std::string(error.what()).find("msvcrt.dll!free"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
