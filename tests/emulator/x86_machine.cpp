#include "x86_machine.h"

#include <sys/mman.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace emulator {
namespace {

constexpr std::uint32_t kPage = 0x1000;
constexpr std::uint32_t kGdtAddress = 0x00010000;
// Selectors as Windows numbers them (code 3, data 4, TEB 7), at privilege level 0: Unicorn
// runs the guest at CPL 0 and a stack segment must match it.
constexpr std::uint16_t kCodeSelector = 3 << 3, kDataSelector = 4 << 3, kTebSelector = 7 << 3;
constexpr std::uint8_t kTrapInterrupt = 0x80;
constexpr std::uint64_t kInstructionLimit = 400'000'000;  // a runaway guest, not a slow one
// Distinct values in the callee-saved registers at every call, checked afterwards.
constexpr std::uint32_t kSavedEbx = 0xB0B0B0B1, kSavedEsi = 0x51515152, kSavedEdi = 0xD1D1D1D2,
                        kSavedEbp = 0xBBBB0004;

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%" PRIX64, value);
  return text;
}

std::uint32_t Unicorn_Permissions(std::uint32_t protect) {
  switch (protect & 0xFF) {
    case kPageReadOnly: return UC_PROT_READ;
    case kPageReadWrite:
    case 0x08: return UC_PROT_READ | UC_PROT_WRITE;  // write-copy
    case kPageExecute: return UC_PROT_EXEC;
    case kPageExecuteRead: return UC_PROT_READ | UC_PROT_EXEC;
    case kPageExecuteReadWrite:
    case 0x80: return UC_PROT_ALL;
    default: return UC_PROT_NONE;
  }
}

std::uint64_t Gdt_Entry(std::uint32_t base, std::uint32_t limit, std::uint8_t access, std::uint8_t flags) {
  return (limit & 0xFFFFull) | (std::uint64_t{base & 0xFFFFFFu} << 16) | (std::uint64_t{access} << 40) |
         (std::uint64_t{(limit >> 16) & 0xFu} << 48) | (std::uint64_t{flags & 0xFu} << 52) |
         (std::uint64_t{base >> 24} << 56);
}

void Check(uc_err error, const char* what) {
  if (error != UC_ERR_OK) throw EmulationError(std::string(what) + ": " + uc_strerror(error));
}

// Thrown by Fail() inside a harness routine; caught before it could cross Unicorn's frames.
struct TrapFailure {
  std::string message;
};

}  // namespace

const char* Convention_Name(Convention convention) {
  switch (convention) {
    case Convention::Cdecl: return "cdecl";
    case Convention::Stdcall: return "stdcall";
    case Convention::Thiscall: return "thiscall";
  }
  return "?";
}

std::uint32_t TrapCall::Arg(unsigned index) const { return machine_.Read32(esp_ + 4 + 4 * index); }
std::uint32_t TrapCall::Return_Address() const { return machine_.Read32(esp_); }

X86Machine::X86Machine() {
  Check(uc_open(UC_ARCH_X86, UC_MODE_32, &uc_), "uc_open");
  Set_Up_Thread();
  Check(uc_hook_add(uc_, &hooks_[0], UC_HOOK_INTR, reinterpret_cast<void*>(&On_Interrupt), this, 1, 0),
        "interrupt hook");
  Check(uc_hook_add(uc_, &hooks_[1], UC_HOOK_CODE, reinterpret_cast<void*>(&On_Code), this, 1, 0), "code hook");
  Check(uc_hook_add(uc_, &hooks_[2], UC_HOOK_MEM_UNMAPPED | UC_HOOK_MEM_PROT,
                    reinterpret_cast<void*>(&On_Bad_Memory), this, 1, 0),
        "memory hook");
}

X86Machine::~X86Machine() {
  if (uc_ != nullptr) uc_close(uc_);
}

void X86Machine::Set_Up_Thread() {
  // GDT: flat code and data, and a 4 KiB segment on the TEB for FS.
  Map(kGdtAddress, kPage, kPageReadWrite, kMemPrivate, "GDT");
  const std::uint64_t gdt[8] = {
      0, 0, 0,
      Gdt_Entry(0, 0xFFFFF, 0x9A, 0xC),            // 3: code, 32-bit, 4 GiB
      Gdt_Entry(0, 0xFFFFF, 0x92, 0xC),            // 4: data and stack, 32-bit, 4 GiB
      0, 0,
      Gdt_Entry(kTebAddress, 0xFFF, 0x92, 0x4),    // 7: the TEB
  };
  Write_Bytes(kGdtAddress, gdt, sizeof gdt);
  uc_x86_mmr gdtr{};
  gdtr.base = kGdtAddress;
  gdtr.limit = sizeof gdt - 1;
  Check(uc_reg_write(uc_, UC_X86_REG_GDTR, &gdtr), "GDTR");
  const std::pair<int, std::uint16_t> segments[] = {
      {UC_X86_REG_SS, kDataSelector}, {UC_X86_REG_DS, kDataSelector}, {UC_X86_REG_ES, kDataSelector},
      {UC_X86_REG_GS, kDataSelector}, {UC_X86_REG_CS, kCodeSelector}, {UC_X86_REG_FS, kTebSelector}};
  for (const auto& [reg, selector] : segments) {
    std::uint32_t value = selector;
    Check(uc_reg_write(uc_, reg, &value), "segment register");
  }
  // x87 present (no emulation trap), SSE state saved by the "OS".
  std::uint32_t cr0 = Register(UC_X86_REG_CR0);
  Set_Register(UC_X86_REG_CR0, (cr0 | 0x2u) & ~0x4u);
  std::uint32_t cr4 = Register(UC_X86_REG_CR4);
  Set_Register(UC_X86_REG_CR4, cr4 | (1u << 9) | (1u << 10));

  Map(kStackBottom, kStackTop - kStackBottom, kPageReadWrite, kMemPrivate, "stack");

  Map(kTebAddress, kPage, kPageReadWrite, kMemPrivate, "TEB");
  Write32(kTebAddress + 0x00, 0xFFFFFFFFu);  // exception chain: empty
  Write32(kTebAddress + 0x04, kStackTop);    // stack base
  Write32(kTebAddress + 0x08, kStackBottom); // stack limit
  Write32(kTebAddress + 0x18, kTebAddress);  // self
  Write32(kTebAddress + 0x20, 0x0F00);       // process id
  Write32(kTebAddress + 0x24, 0x0F04);       // thread id
  Write32(kTebAddress + 0x30, kPebAddress);
  Map(kPebAddress, kPage, kPageReadWrite, kMemPrivate, "PEB");
  Write32(kPebAddress + 0x08, 0x00400000);  // the host executable's image base

  Map(kTrapPage, 0x10000, kPageExecuteRead, kMemPrivate, "harness traps");
  return_sentinel_ = kTrapPage;
  Write8(return_sentinel_, 0xF4);  // hlt: never executed, emulation stops on reaching it
  trap_page_cursor_ = kTrapPage + 16;
}

// ---------------------------------------------------------------- memory

void Region::Unmap::operator()(std::uint8_t* bytes) const { ::munmap(bytes, size); }

std::uint8_t* X86Machine::Map(std::uint32_t base, std::uint32_t size, std::uint32_t protect, std::uint32_t type,
                              const std::string& name, std::uint32_t allocation_base) {
  if (base % kPage != 0 || size % kPage != 0 || size == 0) {
    throw EmulationError("map " + name + ": " + Hex(base) + "+" + Hex(size) + " is not page-aligned");
  }
  const std::uint64_t end = std::uint64_t{base} + size;
  for (const auto& [other_base, other] : regions_) {
    if (base < std::uint64_t{other_base} + other.size && other_base < end) {
      throw EmulationError("map " + name + " at " + Hex(base) + ": overlaps " + other.name);
    }
  }
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw EmulationError("map " + name + ": no host memory");
  Region region{base, size, std::vector<std::uint32_t>(size / kPage, protect), type,
                allocation_base ? allocation_base : base, name,
                std::unique_ptr<std::uint8_t, Region::Unmap>(static_cast<std::uint8_t*>(memory), Region::Unmap{size})};
  Check(uc_mem_map_ptr(uc_, base, size, Unicorn_Permissions(protect), region.bytes.get()), "uc_mem_map_ptr");
  std::uint8_t* bytes = region.bytes.get();
  regions_.emplace(base, std::move(region));
  return bytes;
}

void X86Machine::Protect(std::uint32_t base, std::uint32_t size, std::uint32_t protect) {
  const std::uint32_t first = base & ~(kPage - 1);
  const std::uint64_t last = (std::uint64_t{base} + size + kPage - 1) & ~std::uint64_t{kPage - 1};
  for (std::uint64_t page = first; page < last; page += kPage) {
    auto* region = const_cast<Region*>(Region_At(static_cast<std::uint32_t>(page)));
    if (region == nullptr) throw EmulationError("protect: " + Hex(page) + " is not mapped");
    region->page_protect[(page - region->base) / kPage] = protect;
  }
  Check(uc_mem_protect(uc_, first, static_cast<std::size_t>(last - first), Unicorn_Permissions(protect)),
        "uc_mem_protect");
}

const Region* X86Machine::Region_At(std::uint32_t address) const {
  auto it = regions_.upper_bound(address);
  if (it == regions_.begin()) return nullptr;
  --it;
  if (address - it->second.base >= it->second.size) return nullptr;
  return &it->second;
}

bool X86Machine::Is_Mapped(std::uint32_t address, std::uint32_t length) const {
  std::uint64_t cursor = address;
  const std::uint64_t end = std::uint64_t{address} + length;
  while (cursor < end) {
    const Region* region = Region_At(static_cast<std::uint32_t>(cursor));
    if (region == nullptr) return false;
    cursor = std::uint64_t{region->base} + region->size;
  }
  return true;
}

std::uint32_t X86Machine::Find_Free(std::uint32_t at_or_above, std::uint32_t size, std::uint32_t alignment) const {
  std::uint64_t candidate = (std::uint64_t{at_or_above} + alignment - 1) / alignment * alignment;
  while (candidate + size <= 0x7FFF0000ull) {
    bool clear = true;
    for (const auto& [base, region] : regions_) {
      if (candidate < std::uint64_t{base} + region.size && base < candidate + size) {
        clear = false;
        candidate = (std::uint64_t{base} + region.size + alignment - 1) / alignment * alignment;
        break;
      }
    }
    if (clear) return static_cast<std::uint32_t>(candidate);
  }
  throw EmulationError("no free address range of " + Hex(size) + " bytes");
}

VirtualQueryAnswer X86Machine::Query(std::uint32_t address) const {
  const std::uint32_t page = address & ~(kPage - 1);
  if (const Region* region = Region_At(page)) {
    // Pages of one allocation with the same protection read as one region, as Windows merges them.
    const std::uint32_t protect = region->page_protect[(page - region->base) / kPage];
    std::uint64_t end = page;
    for (const Region* at = region; at != nullptr && at->allocation_base == region->allocation_base;
         at = Region_At(static_cast<std::uint32_t>(end))) {
      while (end < std::uint64_t{at->base} + at->size && at->page_protect[(end - at->base) / kPage] == protect) {
        end += kPage;
      }
      if (end < std::uint64_t{at->base} + at->size || end >= 0x100000000ull) break;
    }
    return {page, region->allocation_base, region->page_protect.front(), static_cast<std::uint32_t>(end - page),
            kMemCommit, protect, region->type};
  }
  auto next = regions_.upper_bound(page);
  const std::uint64_t end = next == regions_.end() ? 0x80000000ull : next->first;
  return {page, 0, 0, static_cast<std::uint32_t>(end - page), kMemFree, kPageNoAccess, 0};
}

std::uint8_t* X86Machine::Host_Pointer(std::uint32_t address, std::uint32_t length) {
  const Region* region = Region_At(address);
  if (region == nullptr || std::uint64_t{address} + length > std::uint64_t{region->base} + region->size) {
    throw EmulationError("access of " + std::to_string(length) + " bytes at " + Hex(address) +
                         (region == nullptr ? " outside mapped memory" : " beyond the end of " + region->name));
  }
  return region->bytes.get() + (address - region->base);
}

std::uint32_t X86Machine::Read32(std::uint32_t address) {
  std::uint32_t value;
  std::memcpy(&value, Host_Pointer(address, 4), 4);
  return value;
}
std::uint8_t X86Machine::Read8(std::uint32_t address) { return *Host_Pointer(address, 1); }
void X86Machine::Write32(std::uint32_t address, std::uint32_t value) { Write_Bytes(address, &value, 4); }
void X86Machine::Write8(std::uint32_t address, std::uint8_t value) { Write_Bytes(address, &value, 1); }

void X86Machine::Write_Bytes(std::uint32_t address, const void* bytes, std::uint32_t length) {
  if (length == 0) return;
  std::memcpy(Host_Pointer(address, length), bytes, length);
  // The emulator never sees these writes: forget what it translated of code written over.
  const Region* region = Region_At(address);
  const std::uint32_t protect = region->page_protect[(address - region->base) / kPage];
  if ((protect & (kPageExecute | kPageExecuteRead | kPageExecuteReadWrite | 0x80)) != 0 && uc_ != nullptr) {
    uc_ctl_remove_cache(uc_, address, std::uint64_t{address} + length);
  }
}

std::vector<std::uint8_t> X86Machine::Read_Bytes(std::uint32_t address, std::uint32_t length) {
  std::vector<std::uint8_t> bytes(length);
  if (length != 0) std::memcpy(bytes.data(), Host_Pointer(address, length), length);
  return bytes;
}

std::string X86Machine::Read_C_String(std::uint32_t address, std::uint32_t limit) {
  std::string text;
  for (std::uint32_t i = 0; i < limit; ++i) {
    const char c = static_cast<char>(Read8(address + i));
    if (c == '\0') return text;
    text.push_back(c);
  }
  throw EmulationError("string at " + Hex(address) + " has no terminating zero");
}

std::u16string X86Machine::Read_Wide_String(std::uint32_t address, std::uint32_t limit) {
  std::u16string text;
  for (std::uint32_t i = 0; i < limit; ++i) {
    const auto c = static_cast<char16_t>(Read8(address + 2 * i) | (Read8(address + 2 * i + 1) << 8));
    if (c == 0) return text;
    text.push_back(c);
  }
  throw EmulationError("wide string at " + Hex(address) + " has no terminating zero");
}

// ---------------------------------------------------------------- traps

std::size_t X86Machine::Place_Trap(std::uint32_t address, Trap trap) {
  std::uint8_t stub[5] = {0xCD, kTrapInterrupt, 0xC3, 0x90, 0x90};
  std::uint32_t length = 3;
  if (trap.counting_only) {
    length = 2;
  } else if (trap.convention != Convention::Cdecl && trap.arg_bytes != 0) {
    stub[2] = 0xC2;
    stub[3] = static_cast<std::uint8_t>(trap.arg_bytes & 0xFF);
    stub[4] = static_cast<std::uint8_t>(trap.arg_bytes >> 8);
    length = 5;
  }
  Write_Bytes(address, stub, length);
  traps_.push_back(std::move(trap));
  trap_at_[address] = traps_.size() - 1;
  return traps_.size() - 1;
}

void X86Machine::Fail(const std::string& message) { throw TrapFailure{message}; }

void X86Machine::Stop_With(const std::string& message) {
  if (failure_.empty()) failure_ = message;
  uc_emu_stop(uc_);
}

std::uint32_t X86Machine::Register(int uc_register) const {
  std::uint32_t value = 0;
  Check(uc_reg_read(uc_, uc_register, &value), "uc_reg_read");
  return value;
}

void X86Machine::Set_Register(int uc_register, std::uint32_t value) {
  Check(uc_reg_write(uc_, uc_register, &value), "uc_reg_write");
}

std::string X86Machine::Name_Address(std::uint32_t address) const {
  std::string name = Hex(address);
  if (namer_) {
    const std::string known = namer_(address);
    if (!known.empty()) name += " " + known;
  }
  return name;
}

void X86Machine::On_Interrupt(uc_engine*, std::uint32_t number, void* self) {
  auto& machine = *static_cast<X86Machine*>(self);
  const std::uint32_t eip = machine.Register(UC_X86_REG_EIP);
  if (number != kTrapInterrupt) {
    const std::uint32_t at = number == 3 ? eip - 1 : eip;
    machine.Stop_With(number == 3 ? "the guest ran into an int3 filler byte at " + machine.Name_Address(at) +
                                        ": a call to an address with no routine behind it"
                                  : "interrupt " + std::to_string(number) + " near " + machine.Name_Address(at));
    return;
  }
  auto found = machine.trap_at_.find(eip - 2);
  if (found == machine.trap_at_.end()) {
    machine.Stop_With("int 0x80 at " + machine.Name_Address(eip - 2) + " is no harness trap");
    return;
  }
  Trap& trap = machine.traps_[found->second];
  ++trap.calls;
  machine.recent_traps_.push_back(found->second);
  if (machine.recent_traps_.size() > 8) machine.recent_traps_.erase(machine.recent_traps_.begin());
  try {
    TrapCall call(machine, machine.Register(UC_X86_REG_ESP), machine.Register(UC_X86_REG_ECX));
    const std::uint32_t result = trap.handler(call);
    if (!trap.counting_only) {
      machine.Set_Register(UC_X86_REG_EAX, result);
      machine.pending_trap_ = found->second;
    }
  } catch (const TrapFailure& failure) {
    machine.Stop_With(trap.name + ": " + failure.message);
  } catch (const std::exception& error) {
    machine.Stop_With(trap.name + ": " + error.what());
  }
}

bool X86Machine::On_Bad_Memory(uc_engine*, uc_mem_type type, std::uint64_t address, int size, std::int64_t,
                               void* self) {
  auto& machine = *static_cast<X86Machine*>(self);
  const char* what = "access";
  switch (type) {
    case UC_MEM_READ_UNMAPPED: what = "read from unmapped memory"; break;
    case UC_MEM_WRITE_UNMAPPED: what = "write to unmapped memory"; break;
    case UC_MEM_FETCH_UNMAPPED: what = "execution of unmapped memory"; break;
    case UC_MEM_WRITE_PROT: what = "write to protected memory"; break;
    case UC_MEM_READ_PROT: what = "read from protected memory"; break;
    case UC_MEM_FETCH_PROT: what = "execution of non-executable memory"; break;
    default: break;
  }
  machine.Stop_With(std::string("fault: ") + what + ", " + std::to_string(size) + " bytes at " + Hex(address) +
                    ", instruction at " + machine.Name_Address(machine.Register(UC_X86_REG_EIP)));
  return false;
}

void X86Machine::On_Code(uc_engine*, std::uint64_t address, std::uint32_t size, void* self) {
  auto& machine = *static_cast<X86Machine*>(self);
  if (++machine.instructions_ > kInstructionLimit) {
    machine.Stop_With("more than " + std::to_string(kInstructionLimit) + " instructions: a runaway guest at " +
                      machine.Name_Address(static_cast<std::uint32_t>(address)));
    return;
  }
  if (!machine.shadow_stack_enabled_) return;
  const auto at = static_cast<std::uint32_t>(address);
  const std::uint8_t* code;
  try {
    code = machine.Host_Pointer(at, size);
  } catch (const EmulationError&) {
    return;  // straddles regions: not a call or ret of ours
  }
  std::uint32_t i = 0;
  while (i < size && (code[i] == 0x66 || code[i] == 0x67 || code[i] == 0xF2 || code[i] == 0xF3 ||
                      code[i] == 0x2E || code[i] == 0x36 || code[i] == 0x3E || code[i] == 0x26 ||
                      code[i] == 0x64 || code[i] == 0x65 || code[i] == 0xF0)) {
    ++i;
  }
  if (i >= size) return;
  const std::uint8_t opcode = code[i];
  const bool is_call = opcode == 0xE8 || (opcode == 0xFF && i + 1 < size && ((code[i + 1] >> 3) & 7) == 2);
  if (is_call) {
    const std::uint32_t esp = machine.Register(UC_X86_REG_ESP);
    std::uint32_t callee = 0;
    if (opcode == 0xE8) {
      std::int32_t displacement;
      std::memcpy(&displacement, code + i + 1, 4);
      callee = at + size + static_cast<std::uint32_t>(displacement);
    }
    machine.shadow_.push_back({at + size, esp - 4, at, callee, {}});
    return;
  }
  if (opcode == 0xC3) {
    machine.Check_Return(at, 0);
  } else if (opcode == 0xC2) {
    machine.Check_Return(at, static_cast<std::uint32_t>(code[i + 1] | (code[i + 2] << 8)));
  }
}

std::string X86Machine::Describe_Frame(const Frame& frame) const {
  std::string text;
  if (frame.callee != 0) {
    text = "the function at " + Name_Address(frame.callee);
  } else if (frame.call_site != 0) {
    text = "the function called from " + Name_Address(frame.call_site);
  } else {
    text = "the routine the harness called";
  }
  return text;
}

std::string X86Machine::Trap_Trail() const {
  std::string text;
  for (std::size_t index : recent_traps_) {
    const Trap& trap = traps_[index];
    text += "\n    " + trap.name + " (harness: " + Convention_Name(trap.convention) + ", removes " +
            std::to_string(trap.convention == Convention::Cdecl ? 0 : trap.arg_bytes) + " argument bytes)";
  }
  return text.empty() ? "\n    (none)" : text;
}

void X86Machine::Check_Return(std::uint32_t address, std::uint32_t) {
  const std::uint32_t esp = Register(UC_X86_REG_ESP);
  const std::uint32_t target = Read32(esp);
  // Strict: every ret must find its own call's return address where the call left it. (No
  // unwinding is tolerated: the DLL throws no exceptions and imports no longjmp.)
  if (shadow_.empty()) {
    Stop_With("ret at " + Name_Address(address) + " with no call to return from");
    return;
  }
  const Frame& frame = shadow_.back();
  if (frame.esp != esp || frame.return_address != target) {
    const std::int64_t off = std::int64_t{esp} - std::int64_t{frame.esp};
    std::string message = "stack out of balance: " + Describe_Frame(frame) + " returns (ret at " +
                          Name_Address(address) + ") with ESP " + Hex(esp) + ", " +
                          std::to_string(off < 0 ? -off : off) + " bytes " + (off < 0 ? "below" : "above") +
                          " where its return address lies (" + Hex(frame.esp) + "); it would return to " +
                          Name_Address(target) + " instead of " + Name_Address(frame.return_address) + ".";
    if (off == 0) message = "return address overwritten: " + message;
    if (!frame.traps_returned_into.empty()) {
      message += "\n  harness routines that returned into it (their stack convention is the suspect):";
      for (const auto& [index, times] : frame.traps_returned_into) {
        const Trap& trap = traps_[index];
        message += "\n    " + trap.name + ", " + std::to_string(times) + (times == 1 ? " call" : " calls") +
                   " (the harness treats it as " + Convention_Name(trap.convention) + ", removing " +
                   std::to_string(trap.convention == Convention::Cdecl ? 0 : trap.arg_bytes) +
                   " argument bytes itself)";
      }
    }
    Stop_With(message);
    return;
  }
  shadow_.pop_back();
  if (address >= kTrapPage || trap_at_.count(address - 2) != 0) {
    // A harness stub returned: remember it on the function it returned into.
    if (pending_trap_ != SIZE_MAX && !shadow_.empty()) {
      auto& returned_into = shadow_.back().traps_returned_into;
      auto known = std::find_if(returned_into.begin(), returned_into.end(),
                                [&](const auto& entry) { return entry.first == pending_trap_; });
      if (known == returned_into.end()) {
        returned_into.emplace_back(pending_trap_, 1);
      } else {
        ++known->second;
      }
    }
    pending_trap_ = SIZE_MAX;
  }
}

// ---------------------------------------------------------------- calls

std::uint32_t X86Machine::Call(std::uint32_t function, const std::vector<std::uint32_t>& args, Convention convention,
                               const std::string& what, std::uint32_t this_pointer) {
  if (in_call_) throw EmulationError("nested call into the guest: " + what);
  in_call_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{in_call_};

  std::uint32_t esp = kStackTop - 64;
  for (auto it = args.rbegin(); it != args.rend(); ++it) {
    esp -= 4;
    Write32(esp, *it);
  }
  esp -= 4;
  Write32(esp, return_sentinel_);
  const std::uint32_t entry_esp = esp;
  Set_Register(UC_X86_REG_ESP, esp);
  Set_Register(UC_X86_REG_EBX, kSavedEbx);
  Set_Register(UC_X86_REG_ESI, kSavedEsi);
  Set_Register(UC_X86_REG_EDI, kSavedEdi);
  Set_Register(UC_X86_REG_EBP, kSavedEbp);
  Set_Register(UC_X86_REG_ECX, convention == Convention::Thiscall ? this_pointer : 0xCCCCCCCCu);
  Set_Register(UC_X86_REG_EFLAGS, 0x202);
  failure_.clear();
  shadow_.clear();
  shadow_.push_back({return_sentinel_, entry_esp, 0, function, {}});
  recent_traps_.clear();
  pending_trap_ = SIZE_MAX;

  const uc_err error = uc_emu_start(uc_, function, return_sentinel_, 0, 0);
  const std::uint32_t eip = Register(UC_X86_REG_EIP);
  std::string problem = failure_;
  if (problem.empty() && error != UC_ERR_OK) {
    problem = std::string("emulation stopped: ") + uc_strerror(error) + " at " + Name_Address(eip);
  }
  if (problem.empty() && eip != return_sentinel_) problem = "stopped at " + Name_Address(eip) + " without returning";

  const std::uint32_t arg_bytes = static_cast<std::uint32_t>(4 * args.size());
  const std::uint32_t expected_esp = entry_esp + 4 + (convention == Convention::Cdecl ? 0 : arg_bytes);
  const std::uint32_t final_esp = Register(UC_X86_REG_ESP);
  if (problem.empty() && final_esp != expected_esp) {
    const std::int64_t off = std::int64_t{final_esp} - std::int64_t{expected_esp};
    problem = std::string("stack check: after the call ESP is ") + Hex(final_esp) + ", " +
              std::to_string(off < 0 ? -off : off) + " bytes " + (off < 0 ? "below" : "above") + " where " +
              Convention_Name(convention) + " with " + std::to_string(arg_bytes) + " argument bytes leaves it (" +
              Hex(expected_esp) + ")";
  }
  if (problem.empty()) {
    const std::pair<int, std::pair<const char*, std::uint32_t>> saved[] = {
        {UC_X86_REG_EBX, {"EBX", kSavedEbx}},
        {UC_X86_REG_ESI, {"ESI", kSavedEsi}},
        {UC_X86_REG_EDI, {"EDI", kSavedEdi}},
        {UC_X86_REG_EBP, {"EBP", kSavedEbp}}};
    for (const auto& [reg, expected] : saved) {
      if (Register(reg) != expected.second) {
        problem = std::string("register check: ") + expected.first + " is " + Hex(Register(reg)) +
                  " after the call, the caller's value was " + Hex(expected.second);
        break;
      }
    }
    if (problem.empty() && (Register(UC_X86_REG_EFLAGS) & 0x400) != 0) {
      problem = "the direction flag is set after the call";
    }
  }
  if (!problem.empty()) {
    std::string message = what + " (" + Convention_Name(convention) + " at " + Name_Address(function) + "): " +
                          problem + "\n  last harness routines called:" + Trap_Trail();
    if (shadow_stack_enabled_ && shadow_.size() > 0) {
      message += "\n  guest call chain, innermost first:";
      std::size_t shown = 0;
      for (auto it = shadow_.rbegin(); it != shadow_.rend() && shown < 8; ++it, ++shown) {
        message += "\n    " + Describe_Frame(*it) + ", returning to " + Name_Address(it->return_address);
      }
    }
    throw EmulationError(message);
  }
  return Register(UC_X86_REG_EAX);
}

}  // namespace emulator
