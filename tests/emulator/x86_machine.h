// A 32-bit x86 CPU in the Unicorn emulator, dressed as one Win32 thread: flat code, data
// and stack segments from a small GDT, FS on a TEB (with a PEB and an empty exception chain),
// a 1 MiB stack, memory regions that remember what they are (for VirtualQuery), and
// traps: short stubs whose execution stops in a harness routine.
//
// Every call the harness makes into guest code is checked when it returns: the stack
// pointer must be where the calling convention leaves it, and the callee-saved registers
// must hold what they held. Inside guest code a shadow stack follows every call and ret,
// so the first function that returns with its stack out of balance is named, with the
// harness routines that returned into it (a convention mismatch starts there).
#pragma once

#include <unicorn/unicorn.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace emulator {

// How a routine takes its arguments and who removes them.
enum class Convention {
  Cdecl,     // caller removes the arguments
  Stdcall,   // callee removes `arg_bytes`
  Thiscall,  // object in ECX, callee removes `arg_bytes`
};
const char* Convention_Name(Convention convention);

// A fault in the guest, a failed stack check, an unimplemented import: the scenario stops.
class EmulationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Windows page protections, as VirtualQuery reports them.
constexpr std::uint32_t kPageNoAccess = 0x01, kPageReadOnly = 0x02, kPageReadWrite = 0x04, kPageExecute = 0x10,
                        kPageExecuteRead = 0x20, kPageExecuteReadWrite = 0x40;
constexpr std::uint32_t kMemCommit = 0x1000, kMemFree = 0x10000;
constexpr std::uint32_t kMemImage = 0x1000000, kMemPrivate = 0x20000;

struct Region {
  std::uint32_t base;
  std::uint32_t size;
  std::vector<std::uint32_t> page_protect;  // a Windows page protection for each 4 KiB page
  std::uint32_t type;     // kMemImage or kMemPrivate
  std::uint32_t allocation_base;
  std::string name;
  struct Unmap {
    std::uint32_t size;
    void operator()(std::uint8_t* bytes) const;
  };
  std::unique_ptr<std::uint8_t, Unmap> bytes;  // the memory itself (zero pages on demand), shared with the emulator
};

struct VirtualQueryAnswer {
  std::uint32_t base_address, allocation_base, allocation_protect, region_size, state, protect, type;
};

class X86Machine;

// What a harness routine sees of the guest's call.
class TrapCall {
 public:
  TrapCall(X86Machine& machine, std::uint32_t esp, std::uint32_t ecx) : machine_(machine), esp_(esp), ecx_(ecx) {}
  std::uint32_t Arg(unsigned index) const;  // 32-bit stack argument, 0-based
  std::uint32_t This() const { return ecx_; }
  std::uint32_t Return_Address() const;
  X86Machine& Machine() const { return machine_; }

 private:
  X86Machine& machine_;
  std::uint32_t esp_;
  std::uint32_t ecx_;
};

using TrapHandler = std::function<std::uint32_t(TrapCall&)>;

struct Trap {
  std::string name;  // "KERNEL32.dll!GetLastError", "host Host_Allocate"
  Convention convention;
  std::uint32_t arg_bytes;
  TrapHandler handler;
  std::uint64_t calls = 0;
  // Only counts: the stub has no ret and guest code follows it; EAX is left alone.
  bool counting_only = false;
};

// Names guest addresses for messages ("Harvane.dll+0x1234 <function>").
using AddressNamer = std::function<std::string(std::uint32_t)>;

class X86Machine {
 public:
  static constexpr std::uint32_t kStackBottom = 0x00030000;
  static constexpr std::uint32_t kStackTop = 0x00130000;
  static constexpr std::uint32_t kTebAddress = 0x7FFDE000;
  static constexpr std::uint32_t kPebAddress = 0x7FFDF000;
  static constexpr std::uint32_t kTrapPage = 0x7FFC0000;  // the return sentinel and spare stubs

  X86Machine();
  ~X86Machine();
  X86Machine(const X86Machine&) = delete;
  X86Machine& operator=(const X86Machine&) = delete;

  // --- memory ---
  // Maps zeroed memory; base and size page-aligned; fails loudly on overlap.
  std::uint8_t* Map(std::uint32_t base, std::uint32_t size, std::uint32_t protect, std::uint32_t type,
                    const std::string& name, std::uint32_t allocation_base = 0);
  void Protect(std::uint32_t base, std::uint32_t size, std::uint32_t protect);  // whole regions only
  bool Is_Mapped(std::uint32_t address, std::uint32_t length = 1) const;
  std::uint32_t Find_Free(std::uint32_t at_or_above, std::uint32_t size, std::uint32_t alignment) const;
  VirtualQueryAnswer Query(std::uint32_t address) const;
  const Region* Region_At(std::uint32_t address) const;

  std::uint8_t* Host_Pointer(std::uint32_t address, std::uint32_t length);  // throws if unmapped
  std::uint32_t Read32(std::uint32_t address);
  std::uint8_t Read8(std::uint32_t address);
  void Write32(std::uint32_t address, std::uint32_t value);
  void Write8(std::uint32_t address, std::uint8_t value);
  void Write_Bytes(std::uint32_t address, const void* bytes, std::uint32_t length);
  std::vector<std::uint8_t> Read_Bytes(std::uint32_t address, std::uint32_t length);
  std::string Read_C_String(std::uint32_t address, std::uint32_t limit = 1u << 20);
  std::u16string Read_Wide_String(std::uint32_t address, std::uint32_t limit = 1u << 20);

  // --- traps ---
  // Writes a stub at `address` (int 0x80, then ret or ret n by the convention) whose
  // execution runs `trap`; 5 bytes at most (2 for a counting-only trap, which guest code
  // follows). Returns the trap's index.
  std::size_t Place_Trap(std::uint32_t address, Trap trap);
  const std::vector<Trap>& Traps() const { return traps_; }
  // From inside a harness routine: stop the emulation with this message.
  [[noreturn]] void Fail(const std::string& message);

  // --- calls into the guest ---
  // Pushes the arguments (last first) and a return address, runs `function` until it
  // returns there, then checks the stack and the callee-saved registers.
  std::uint32_t Call(std::uint32_t function, const std::vector<std::uint32_t>& args, Convention convention,
                     const std::string& what, std::uint32_t this_pointer = 0);

  std::uint32_t Register(int uc_register) const;
  void Set_Register(int uc_register, std::uint32_t value);

  void Set_Address_Namer(AddressNamer namer) { namer_ = std::move(namer); }
  std::string Name_Address(std::uint32_t address) const;

  // For tests of the checks themselves: disable the shadow stack (the export-level checks stay).
  void Set_Shadow_Stack(bool enabled) { shadow_stack_enabled_ = enabled; }
  std::uint64_t Instructions() const { return instructions_; }

 private:
  struct Frame {
    std::uint32_t return_address;
    std::uint32_t esp;       // where the return address lies
    std::uint32_t call_site; // address of the call instruction (0 for harness calls)
    std::uint32_t callee;    // address of the function called
    std::vector<std::pair<std::size_t, std::uint32_t>> traps_returned_into;  // harness routine, times it returned here
  };

  static void On_Interrupt(uc_engine* uc, std::uint32_t number, void* self);
  static void On_Code(uc_engine* uc, std::uint64_t address, std::uint32_t size, void* self);
  static bool On_Bad_Memory(uc_engine* uc, uc_mem_type type, std::uint64_t address, int size, std::int64_t value,
                            void* self);
  void Stop_With(const std::string& message);
  void Check_Return(std::uint32_t address, std::uint32_t popped_bytes);
  std::string Describe_Frame(const Frame& frame) const;
  std::string Trap_Trail() const;
  void Set_Up_Thread();

  uc_engine* uc_ = nullptr;
  std::map<std::uint32_t, Region> regions_;  // by base
  std::vector<Trap> traps_;
  std::map<std::uint32_t, std::size_t> trap_at_;  // address of the int 0x80 -> trap
  std::vector<Frame> shadow_;
  std::vector<std::size_t> recent_traps_;  // ring of the last few trap calls, for messages
  std::size_t pending_trap_ = SIZE_MAX;    // trap whose stub is about to return
  std::string failure_;
  AddressNamer namer_;
  bool shadow_stack_enabled_ = true;
  bool in_call_ = false;
  std::uint64_t instructions_ = 0;
  std::uint32_t return_sentinel_ = 0;
  std::uint32_t trap_page_cursor_ = 0;
  uc_hook hooks_[3]{};
};

}  // namespace emulator
