#include "windows_side.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace emulator {
namespace {

constexpr std::uint32_t kCodeSize = 0x8000;
constexpr std::uint32_t kDataSize = 0x18000;
constexpr std::uint32_t kFileSize = 32;             // msvcrt's FILE
constexpr std::uint32_t kFileWithLockSize = 32 + 24;  // FILE followed by its CRITICAL_SECTION
constexpr std::uint32_t kIobEntries = 20;
constexpr std::uint32_t kIoRead = 0x1, kIoWrite = 0x2, kIoReadWrite = 0x80;
constexpr std::uint32_t kTlsSlots = 64;
constexpr std::uint32_t kTebTlsSlots = 0xE10, kTebLastError = 0x34;

// Windows error codes.
constexpr std::uint32_t kErrorFileNotFound = 2, kErrorPathNotFound = 3, kErrorAccessDenied = 5,
                        kErrorInvalidParameter = 87, kErrorFileExists = 80, kErrorModNotFound = 126,
                        kErrorProcNotFound = 127, kErrorBadLength = 24, kErrorInvalidAddress = 487,
                        kErrorSharingViolation = 32, kErrorDiskFull = 112, kErrorGenFailure = 31,
                        kErrorNoAccess = 998;

// _initterm(begin, end): calls each non-null pointer of [begin, end) in turn. It calls back
// into the DLL, so it runs as guest code.
const std::uint8_t kInittermCode[] = {
    0x56,                    // push esi
    0x57,                    // push edi
    0x8B, 0x74, 0x24, 0x0C,  // mov esi, [esp+12]
    0x8B, 0x7C, 0x24, 0x10,  // mov edi, [esp+16]
    0x39, 0xFE,              // loop: cmp esi, edi
    0x73, 0x0D,              // jae done
    0x8B, 0x06,              // mov eax, [esi]
    0x85, 0xC0,              // test eax, eax
    0x74, 0x02,              // jz next
    0xFF, 0xD0,              // call eax
    0x83, 0xC6, 0x04,        // next: add esi, 4
    0xEB, 0xEF,              // jmp loop
    0x5F,                    // done: pop edi
    0x5E,                    // pop esi
    0xC3,                    // ret
};

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Host_Path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool Is_Folder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Parent_Exists(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return true;
  return Is_Folder(slash == 0 ? "/" : path.substr(0, slash));
}

std::uint32_t Windows_Error(int error_number, const std::string& path) {
  switch (error_number) {
    case ENOENT: return Parent_Exists(path) ? kErrorFileNotFound : kErrorPathNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case ENOSPC: return kErrorDiskFull;
    default: return kErrorGenFailure;
  }
}

std::string Narrow(const std::u16string& wide) {
  std::string text;
  for (char16_t c : wide) text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return text;
}

}  // namespace

WindowsSide::WindowsSide(X86Machine& machine, ExtensionLibraryShape extension)
    : machine_(machine),
      extension_(std::move(extension)),
      next_extension_export_(kExtensionLibraryBase + 0x1000),
      kernel32_{"KERNEL32.dll", kKernel32Base, 0, {}},
      user32_{"USER32.dll", kUser32Base, 0, {}},
      msvcrt_{"msvcrt.dll", kMsvcrtBase, 0, {}},
      crt_heap_(machine, 0x01000000, 0x01000000, "C runtime heap") {
  Build_Module(kernel32_, kCodeSize, kDataSize);
  Build_Module(user32_, kCodeSize, kDataSize);
  Build_Module(msvcrt_, kCodeSize, kDataSize);
  Lay_Out_Crt_Data();
  for (const ImportRow& row : Import_Rows()) {
    PseudoModule* module = Module_By_Name(row.module);
    module->exports[Lowered(row.name)] = Place_Export(*module, row);
  }
  // bhs.dll: an image whose exports are int3 bytes; the DLL stores them, never calls them.
  std::uint8_t* library = machine_.Map(kExtensionLibraryBase, 0x10000, kPageExecuteRead, kMemImage, "bhs.dll");
  std::memset(library, 0xCC, 0x10000);
}

WindowsSide::~WindowsSide() {
  for (auto& [address, file] : files_) {
    if (file.host != nullptr) std::fclose(file.host);
  }
}

void WindowsSide::Build_Module(PseudoModule& module, std::uint32_t code_size, std::uint32_t data_size) {
  std::uint8_t* code = machine_.Map(module.base, code_size, kPageExecuteRead, kMemImage, module.name + " code");
  std::memset(code, 0xCC, code_size);
  machine_.Map(module.base + code_size, data_size, kPageReadWrite, kMemImage, module.name + " data", module.base);
  module.next_stub = module.base + 0x1000;
}

std::uint32_t WindowsSide::Place_Export(PseudoModule& module, const ImportRow& row) {
  const std::string full_name = module.name + "!" + row.name;
  if (row.kind == ImportKind::Data) {
    if (std::strcmp(row.name, "_iob") == 0) return iob_;
    if (std::strcmp(row.name, "__mb_cur_max") == 0) return mb_cur_max_;
    throw EmulationError("data import " + full_name + " has no data laid out");
  }
  const std::uint32_t address = module.next_stub;
  if (row.kind == ImportKind::GuestCode) {
    if (std::strcmp(row.name, "_initterm") != 0) throw EmulationError("no guest code for " + full_name);
    // A counting trap first, so the call shows among the imports the DLL really calls.
    Trap counter{full_name, row.convention, 0, [](TrapCall&) { return 0u; }};
    counter.counting_only = true;
    machine_.Place_Trap(address, std::move(counter));
    machine_.Write_Bytes(address + 2, kInittermCode, sizeof kInittermCode);
    module.next_stub += (2 + sizeof kInittermCode + 15) / 16 * 16;
    return address;
  }
  module.next_stub += 8;
  TrapHandler handler;
  if (row.handler != nullptr) {
    auto method = row.handler;
    handler = [this, method](TrapCall& call) { return (this->*method)(call); };
  } else {
    handler = [full_name](TrapCall& call) -> std::uint32_t {
      call.Machine().Fail("the DLL called " + full_name + ", which the harness does not implement (called from " +
                          call.Machine().Name_Address(call.Return_Address()) + ")");
    };
  }
  machine_.Place_Trap(address, Trap{full_name, row.convention, row.arg_bytes, handler});
  return address;
}

void WindowsSide::Lay_Out_Crt_Data() {
  data_cursor_ = msvcrt_.base + kCodeSize;
  data_end_ = data_cursor_ + 0x8000;
  iob_ = Crt_Data(kIobEntries * kFileSize);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const std::uint32_t file = iob_ + i * kFileSize;
    machine_.Write32(file + 12, i == 0 ? kIoRead : kIoWrite);  // _flag
    machine_.Write32(file + 16, i);                              // _file
    files_[file] = OpenFile{nullptr, true, i != 0, i == 1 ? &console_ : (i == 2 ? &error_output_ : nullptr),
                            i == 0 ? "stdin" : (i == 1 ? "stdout" : "stderr")};
  }
  mb_cur_max_ = Crt_Data(4);
  machine_.Write32(mb_cur_max_, 1);  // single-byte code page
  errno_ = Crt_Data(4);
  tm_ = Crt_Data(36);
  c_locale_name_ = Crt_Data(2);
  machine_.Write_Bytes(c_locale_name_, "C", 2);
  // The "C" locale's lconv: "." as decimal point, empty strings, CHAR_MAX for the numbers.
  const std::uint32_t dot = Crt_Data(2), empty = Crt_Data(1);
  machine_.Write_Bytes(dot, ".", 2);
  machine_.Write8(empty, 0);
  lconv_ = Crt_Data(48);
  machine_.Write32(lconv_, dot);
  for (std::uint32_t i = 1; i < 10; ++i) machine_.Write32(lconv_ + 4 * i, empty);
  for (std::uint32_t i = 0; i < 8; ++i) machine_.Write8(lconv_ + 40 + i, 127);
  strerror_buffer_ = Crt_Data(128);
  data_cursor_ = (data_cursor_ + 0xFFF) & ~0xFFFu;
  data_end_ = msvcrt_.base + kCodeSize + kDataSize;  // FILE blocks from here on
}

std::uint32_t WindowsSide::Crt_Data(std::uint32_t size) {
  const std::uint32_t at = (data_cursor_ + 15) & ~15u;
  if (at + size > data_end_) throw EmulationError("msvcrt data area exhausted");
  data_cursor_ = at + size;
  return at;
}

WindowsSide::PseudoModule* WindowsSide::Module_By_Name(std::string name) {
  name = Lowered(name);
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dll") != 0) name += ".dll";
  for (PseudoModule* module : {&kernel32_, &user32_, &msvcrt_}) {
    if (Lowered(module->name) == name) return module;
  }
  return nullptr;
}

WindowsSide::PseudoModule* WindowsSide::Module_By_Handle(std::uint32_t handle) {
  for (PseudoModule* module : {&kernel32_, &user32_, &msvcrt_}) {
    if (module->base == handle) return module;
  }
  return nullptr;
}

std::uint32_t WindowsSide::Resolve_Import(const ImportReference& reference) {
  PseudoModule* module = Module_By_Name(reference.module);
  if (module == nullptr) {
    throw EmulationError("the DLL imports from " + reference.module +
                         ", which is none of KERNEL32.dll, USER32.dll and msvcrt.dll");
  }
  const std::string name = reference.name.empty() ? "#" + std::to_string(reference.ordinal) : reference.name;
  auto found = module->exports.find(Lowered(name));
  if (found != module->exports.end()) return found->second;
  // Unknown to the harness: a stub that names it when called.
  const ImportRow row{module->name.c_str(), name.c_str(), ImportKind::Routine, Convention::Cdecl, 0, nullptr};
  const std::uint32_t address = Place_Export(*module, row);
  module->exports[Lowered(name)] = address;
  return address;
}

std::uint32_t WindowsSide::Extension_Export_Address(const std::string& name) {
  auto found = extension_exports_.find(name);
  if (found != extension_exports_.end()) return found->second;
  const std::uint32_t address = next_extension_export_;
  next_extension_export_ += 16;
  extension_exports_[name] = address;
  return address;
}

std::string WindowsSide::Take_Console() { return std::exchange(console_, {}); }
std::vector<MessageBoxCall> WindowsSide::Take_Boxes() { return std::exchange(boxes_, {}); }
std::uint32_t WindowsSide::Last_Error() { return machine_.Read32(X86Machine::kTebAddress + kTebLastError); }

void WindowsSide::Set_Last_Error(std::uint32_t code) {
  machine_.Write32(X86Machine::kTebAddress + kTebLastError, code);
}

void WindowsSide::Set_Errno(int value) { machine_.Write32(errno_, static_cast<std::uint32_t>(value)); }

std::uint32_t WindowsSide::Module_Handle(const std::string& name) {
  if (PseudoModule* module = Module_By_Name(name)) return module->base;
  if (!plugin_name_.empty() && Lowered(name) == Lowered(plugin_name_)) return plugin_base_;
  Set_Last_Error(kErrorModNotFound);
  return 0;
}

// ================================================================ KERNEL32

std::uint32_t WindowsSide::CloseHandle(TrapCall&) { return 1; }

std::uint32_t WindowsSide::CopyFileA(TrapCall& call) {
  const std::string from = Host_Path(machine_.Read_C_String(call.Arg(0)));
  const std::string to = Host_Path(machine_.Read_C_String(call.Arg(1)));
  const bool fail_if_exists = call.Arg(2) != 0;
  std::FILE* in = std::fopen(from.c_str(), "rb");
  if (in == nullptr) {
    Set_Last_Error(Windows_Error(errno, from));
    return 0;
  }
  if (Is_Folder(from)) {
    std::fclose(in);
    Set_Last_Error(kErrorAccessDenied);
    return 0;
  }
  if (Is_Folder(to)) {
    std::fclose(in);
    Set_Last_Error(kErrorAccessDenied);
    return 0;
  }
  std::FILE* out = std::fopen(to.c_str(), fail_if_exists ? "wbx" : "wb");
  if (out == nullptr) {
    const int error_number = errno;
    std::fclose(in);
    Set_Last_Error(error_number == EEXIST ? kErrorFileExists : Windows_Error(error_number, to));
    return 0;
  }
  char buffer[65536];
  std::size_t got;
  bool written = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (std::fwrite(buffer, 1, got, out) != got) written = false;
  }
  const bool read_failed = std::ferror(in) != 0;
  std::fclose(in);
  if (std::fclose(out) != 0) written = false;
  if (read_failed || !written) {
    Set_Last_Error(Windows_Error(errno, to));
    return 0;
  }
  return 1;
}

std::uint32_t WindowsSide::CreateSemaphoreW(TrapCall&) { return next_handle_ += 4; }

std::uint32_t WindowsSide::InitializeCriticalSection(TrapCall& call) {
  const std::uint32_t section = call.Arg(0);
  machine_.Write32(section, 0);               // DebugInfo
  machine_.Write32(section + 4, 0xFFFFFFFF);  // LockCount
  machine_.Write32(section + 8, 0);           // RecursionCount
  machine_.Write32(section + 12, 0);          // OwningThread
  machine_.Write32(section + 16, 0);          // LockSemaphore
  machine_.Write32(section + 20, 0);          // SpinCount
  return 0;
}

std::uint32_t WindowsSide::EnterCriticalSection(TrapCall& call) {
  const std::uint32_t section = call.Arg(0);
  machine_.Write32(section + 4, machine_.Read32(section + 4) + 1);
  machine_.Write32(section + 8, machine_.Read32(section + 8) + 1);
  machine_.Write32(section + 12, machine_.Read32(X86Machine::kTebAddress + 0x24));
  return 0;
}

std::uint32_t WindowsSide::LeaveCriticalSection(TrapCall& call) {
  const std::uint32_t section = call.Arg(0);
  const std::uint32_t recursion = machine_.Read32(section + 8);
  if (recursion == 0) machine_.Fail("LeaveCriticalSection on a section this thread does not hold");
  machine_.Write32(section + 4, machine_.Read32(section + 4) - 1);
  machine_.Write32(section + 8, recursion - 1);
  if (recursion == 1) machine_.Write32(section + 12, 0);
  return 0;
}

std::uint32_t WindowsSide::DeleteCriticalSection(TrapCall&) { return 0; }

std::uint32_t WindowsSide::DisableThreadLibraryCalls(TrapCall& call) {
  if (call.Arg(0) != plugin_base_) machine_.Fail("DisableThreadLibraryCalls for a module that is not the DLL");
  thread_calls_disabled_ = true;
  return 1;
}

std::uint32_t WindowsSide::FreeLibrary(TrapCall&) { return 1; }

std::uint32_t WindowsSide::GetCurrentThreadId(TrapCall&) { return machine_.Read32(X86Machine::kTebAddress + 0x24); }

std::uint32_t WindowsSide::GetLastError(TrapCall&) { return Last_Error(); }

std::uint32_t WindowsSide::SetLastError(TrapCall& call) {
  Set_Last_Error(call.Arg(0));
  return 0;
}

std::uint32_t WindowsSide::GetModuleHandleA(TrapCall& call) {
  if (call.Arg(0) == 0) return kHostExecutableBase;
  return Module_Handle(machine_.Read_C_String(call.Arg(0)));
}

std::uint32_t WindowsSide::GetModuleHandleW(TrapCall& call) {
  if (call.Arg(0) == 0) return kHostExecutableBase;
  return Module_Handle(Narrow(machine_.Read_Wide_String(call.Arg(0))));
}

std::uint32_t WindowsSide::LoadLibraryA(TrapCall& call) { return Module_Handle(machine_.Read_C_String(call.Arg(0))); }

std::uint32_t WindowsSide::LoadLibraryW(TrapCall& call) {
  return Module_Handle(Narrow(machine_.Read_Wide_String(call.Arg(0))));
}

std::uint32_t WindowsSide::GetProcAddress(TrapCall& call) {
  const std::uint32_t handle = call.Arg(0);
  const std::uint32_t name_address = call.Arg(1);
  if (name_address < 0x10000) machine_.Fail("GetProcAddress by ordinal " + std::to_string(name_address));
  const std::string name = machine_.Read_C_String(name_address);
  if (handle == kExtensionLibraryBase) {
    if (extension_.exports_none || extension_.missing.count(name)) {
      Set_Last_Error(kErrorProcNotFound);
      return 0;
    }
    return Extension_Export_Address(name);
  }
  if (PseudoModule* module = Module_By_Handle(handle)) {
    auto found = module->exports.find(Lowered(name));
    for (const ImportRow& row : Import_Rows()) {
      if (found != module->exports.end() && Lowered(row.name) == found->first && row.handler == nullptr &&
          row.kind == ImportKind::Routine) {
        found = module->exports.end();  // known but not implemented: not offered
      }
    }
    if (found != module->exports.end()) return found->second;
    proc_address_misses_.push_back(module->name + "!" + name);
    Set_Last_Error(kErrorProcNotFound);
    return 0;
  }
  proc_address_misses_.push_back("?" + std::to_string(handle) + "!" + name);
  Set_Last_Error(kErrorModNotFound);
  return 0;
}

std::uint32_t WindowsSide::ReleaseSemaphore(TrapCall&) { return 1; }

std::uint32_t WindowsSide::WaitForSingleObject(TrapCall&) { return 0; }  // WAIT_OBJECT_0: one thread, never contended

std::uint32_t WindowsSide::Sleep(TrapCall&) { return 0; }

std::uint32_t WindowsSide::TlsAlloc(TrapCall&) {
  if (next_tls_slot_ >= kTlsSlots) return 0xFFFFFFFF;
  return next_tls_slot_++;
}

std::uint32_t WindowsSide::TlsFree(TrapCall& call) { return call.Arg(0) < next_tls_slot_ ? 1 : 0; }

std::uint32_t WindowsSide::TlsGetValue(TrapCall& call) {
  const std::uint32_t slot = call.Arg(0);
  if (slot >= next_tls_slot_) {
    Set_Last_Error(kErrorInvalidParameter);
    return 0;
  }
  Set_Last_Error(0);
  return machine_.Read32(X86Machine::kTebAddress + kTebTlsSlots + 4 * slot);
}

std::uint32_t WindowsSide::TlsSetValue(TrapCall& call) {
  const std::uint32_t slot = call.Arg(0);
  if (slot >= next_tls_slot_) {
    Set_Last_Error(kErrorInvalidParameter);
    return 0;
  }
  machine_.Write32(X86Machine::kTebAddress + kTebTlsSlots + 4 * slot, call.Arg(1));
  return 1;
}

std::uint32_t WindowsSide::VirtualProtect(TrapCall& call) {
  const std::uint32_t address = call.Arg(0), size = call.Arg(1), protect = call.Arg(2), old = call.Arg(3);
  if (!machine_.Is_Mapped(address, size == 0 ? 1 : size)) {
    Set_Last_Error(kErrorInvalidAddress);
    return 0;
  }
  if (old == 0 || !machine_.Is_Mapped(old, 4)) {
    Set_Last_Error(kErrorNoAccess);
    return 0;
  }
  machine_.Write32(old, machine_.Query(address).protect);
  machine_.Protect(address, size == 0 ? 1 : size, protect);
  return 1;
}

std::uint32_t WindowsSide::VirtualQuery(TrapCall& call) {
  const std::uint32_t address = call.Arg(0), buffer = call.Arg(1), length = call.Arg(2);
  if (length < 28) {
    Set_Last_Error(kErrorBadLength);
    return 0;
  }
  if (address >= 0x7FFF0000u) {
    Set_Last_Error(kErrorInvalidParameter);
    return 0;
  }
  const VirtualQueryAnswer answer = machine_.Query(address);
  const std::uint32_t words[7] = {answer.base_address, answer.allocation_base, answer.allocation_protect,
                                  answer.region_size, answer.state, answer.protect, answer.type};
  machine_.Write_Bytes(buffer, words, sizeof words);
  return 28;
}

// ================================================================ USER32

std::uint32_t WindowsSide::MessageBoxA(TrapCall& call) {
  const std::string text = call.Arg(1) ? machine_.Read_C_String(call.Arg(1)) : "";
  const std::string caption = call.Arg(2) ? machine_.Read_C_String(call.Arg(2)) : "Error";
  boxes_.push_back({caption, text, call.Arg(3)});
  return 1;  // IDOK
}

// ================================================================ msvcrt

std::uint32_t WindowsSide::setusermatherr(TrapCall&) { return 0; }

std::uint32_t WindowsSide::amsg_exit(TrapCall& call) {
  machine_.Fail("the C runtime gave up: _amsg_exit(" + std::to_string(call.Arg(0)) + ")");
}

std::uint32_t WindowsSide::errno_location(TrapCall&) { return errno_; }
std::uint32_t WindowsSide::lock(TrapCall&) { return 0; }
std::uint32_t WindowsSide::unlock(TrapCall&) { return 0; }

std::uint32_t WindowsSide::abort(TrapCall& call) {
  machine_.Fail("abort() called from " + machine_.Name_Address(call.Return_Address()));
}

std::uint32_t WindowsSide::atoi(TrapCall& call) {
  return static_cast<std::uint32_t>(std::atoi(machine_.Read_C_String(call.Arg(0)).c_str()));
}

std::uint32_t WindowsSide::malloc(TrapCall& call) {
  const std::uint32_t block = crt_heap_.Allocate(call.Arg(0));
  if (block == 0) Set_Errno(ENOMEM);
  return block;
}

std::uint32_t WindowsSide::calloc(TrapCall& call) {
  const std::uint64_t size = std::uint64_t{call.Arg(0)} * call.Arg(1);
  if (size > 0xFFFFFFF0ull) {
    Set_Errno(ENOMEM);
    return 0;
  }
  const std::uint32_t block = crt_heap_.Allocate(static_cast<std::uint32_t>(size));
  if (block == 0) {
    Set_Errno(ENOMEM);
    return 0;
  }
  if (size != 0) std::memset(machine_.Host_Pointer(block, static_cast<std::uint32_t>(size)), 0, size);
  return block;
}

std::uint32_t WindowsSide::realloc(TrapCall& call) {
  const std::uint32_t old = call.Arg(0), size = call.Arg(1);
  if (old != 0 && !crt_heap_.Is_Live(old)) {
    machine_.Fail("realloc of a block malloc never gave out (or gave back already)");
  }
  if (old != 0 && size == 0) {
    crt_heap_.Release(old);
    return 0;
  }
  const std::uint32_t block = crt_heap_.Allocate(size);
  if (block == 0) {
    Set_Errno(ENOMEM);
    return 0;
  }
  if (old != 0) {
    const std::uint32_t keep = std::min(size, crt_heap_.Size_Of(old));
    if (keep != 0) machine_.Write_Bytes(block, machine_.Read_Bytes(old, keep).data(), keep);
    crt_heap_.Release(old);
  }
  return block;
}

std::uint32_t WindowsSide::free(TrapCall& call) {
  const std::uint32_t block = call.Arg(0);
  if (block == 0) return 0;
  switch (crt_heap_.Release(block)) {
    case GuestHeap::Release_Result::Released: break;
    case GuestHeap::Release_Result::Never_Given:
      machine_.Fail("free(" + machine_.Name_Address(block) + "): a block the C runtime heap never gave out");
    case GuestHeap::Release_Result::Given_Back_Already:
      machine_.Fail("free(" + machine_.Name_Address(block) + "): a block released already");
  }
  return 0;
}

WindowsSide::OpenFile& WindowsSide::Stream(std::uint32_t file) {
  auto found = files_.find(file);
  if (found == files_.end()) machine_.Fail("a FILE* the C runtime never opened: " + machine_.Name_Address(file));
  return found->second;
}

std::uint32_t WindowsSide::fopen(TrapCall& call) {
  const std::string path = Host_Path(machine_.Read_C_String(call.Arg(0)));
  const std::string mode = machine_.Read_C_String(call.Arg(1));
  if (mode.empty() || std::string("rwa").find(mode[0]) == std::string::npos) {
    Set_Errno(EINVAL);
    return 0;
  }
  const bool plus = mode.find('+') != std::string::npos;
  const bool binary = mode.find('b') != std::string::npos;  // else text, msvcrt's default mode
  std::string host_mode(1, mode[0]);
  if (plus) host_mode += '+';
  host_mode += 'b';
  if (Is_Folder(path)) {
    Set_Errno(EACCES);
    return 0;
  }
  std::FILE* host = std::fopen(path.c_str(), host_mode.c_str());
  if (host == nullptr) {
    Set_Errno(errno);
    return 0;
  }
  std::uint32_t block;
  if (!free_file_blocks_.empty()) {
    block = free_file_blocks_.back();
    free_file_blocks_.pop_back();
  } else {
    block = (data_cursor_ + 15) & ~15u;
    if (block + kFileWithLockSize > data_end_) machine_.Fail("too many open files");
    data_cursor_ = block + kFileWithLockSize;
  }
  std::uint8_t zero[kFileWithLockSize] = {};
  machine_.Write_Bytes(block, zero, sizeof zero);
  const std::uint32_t flag = plus ? kIoReadWrite : (mode[0] == 'r' ? kIoRead : kIoWrite);
  machine_.Write32(block + 12, flag);
  machine_.Write32(block + 16, static_cast<std::uint32_t>(3 + files_.size()));
  machine_.Write32(block + 32 + 4, 0xFFFFFFFF);  // the lock's LockCount: free
  files_[block] = OpenFile{host, !binary, mode[0] != 'r' || plus, nullptr, path};
  return block;
}

std::uint32_t WindowsSide::fclose(TrapCall& call) {
  const std::uint32_t file = call.Arg(0);
  OpenFile& stream = Stream(file);
  if (stream.host == nullptr) return 0;  // a console stream stays usable
  const int result = std::fclose(stream.host);
  files_.erase(file);
  machine_.Write32(file + 12, 0);
  free_file_blocks_.push_back(file);
  return result == 0 ? 0 : 0xFFFFFFFF;
}

std::uint32_t WindowsSide::fflush(TrapCall& call) {
  const std::uint32_t file = call.Arg(0);
  if (file == 0) {
    for (auto& [address, stream] : files_) {
      if (stream.host) std::fflush(stream.host);
    }
    return 0;
  }
  OpenFile& stream = Stream(file);
  if (stream.host != nullptr && std::fflush(stream.host) != 0) return 0xFFFFFFFF;
  return 0;
}

void WindowsSide::Write_Stream(std::uint32_t file, const std::uint8_t* bytes, std::uint32_t length) {
  OpenFile& stream = Stream(file);
  if (!stream.writable) machine_.Fail("write to " + stream.path + ", which is not open for writing");
  if (stream.sink != nullptr) {
    // The console: the bytes as the DLL handed them to the C runtime.
    stream.sink->append(reinterpret_cast<const char*>(bytes), length);
    return;
  }
  std::string out;
  for (std::uint32_t i = 0; i < length; ++i) {
    if (stream.text && bytes[i] == '\n') out.push_back('\r');  // text mode: LF goes out as CR LF
    out.push_back(static_cast<char>(bytes[i]));
  }
  std::fwrite(out.data(), 1, out.size(), stream.host);
}

std::uint32_t WindowsSide::fputc(TrapCall& call) {
  const auto byte = static_cast<std::uint8_t>(call.Arg(0));
  Write_Stream(call.Arg(1), &byte, 1);
  return byte;
}

std::uint32_t WindowsSide::fputs(TrapCall& call) {
  const std::string text = machine_.Read_C_String(call.Arg(0));
  Write_Stream(call.Arg(1), reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()));
  return 0;
}

std::uint32_t WindowsSide::fwrite(TrapCall& call) {
  const std::uint64_t total = std::uint64_t{call.Arg(1)} * call.Arg(2);
  if (total == 0) return 0;
  if (total > 0x10000000ull) machine_.Fail("fwrite of " + std::to_string(total) + " bytes");
  const auto bytes = machine_.Read_Bytes(call.Arg(0), static_cast<std::uint32_t>(total));
  Write_Stream(call.Arg(3), bytes.data(), static_cast<std::uint32_t>(total));
  return call.Arg(2);
}

std::uint32_t WindowsSide::localeconv(TrapCall&) { return lconv_; }

std::uint32_t WindowsSide::setlocale(TrapCall& call) {
  if (call.Arg(1) == 0) return c_locale_name_;  // a query: the "C" locale is in force
  const std::string wanted = machine_.Read_C_String(call.Arg(1));
  if (wanted == "C") return c_locale_name_;
  machine_.Fail("setlocale(" + std::to_string(call.Arg(0)) + ", \"" + wanted + "\"): only the C locale is modelled");
}

std::uint32_t WindowsSide::time(TrapCall& call) {
  // msvcrt.dll's time(): a 32-bit time_t.
  const auto now = static_cast<std::uint32_t>(std::time(nullptr));
  if (call.Arg(0) != 0) machine_.Write32(call.Arg(0), now);
  return now;
}

std::uint32_t WindowsSide::localtime(TrapCall& call) {
  const auto value = static_cast<std::int32_t>(machine_.Read32(call.Arg(0)));
  if (value < 0) {
    Set_Errno(EINVAL);
    return 0;
  }
  const std::time_t seconds = value;
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr) return 0;
  const std::int32_t fields[9] = {local.tm_sec, local.tm_min, local.tm_hour, local.tm_mday, local.tm_mon,
                                  local.tm_year, local.tm_wday, local.tm_yday, local.tm_isdst > 0 ? 1 : 0};
  machine_.Write_Bytes(tm_, fields, sizeof fields);
  return tm_;
}

std::uint32_t WindowsSide::remove(TrapCall& call) {
  const std::string path = Host_Path(machine_.Read_C_String(call.Arg(0)));
  if (Is_Folder(path)) {
    Set_Errno(EACCES);
    return 0xFFFFFFFF;
  }
  if (std::remove(path.c_str()) != 0) {
    Set_Errno(errno);
    return 0xFFFFFFFF;
  }
  return 0;
}

std::uint32_t WindowsSide::memchr(TrapCall& call) {
  const std::uint32_t at = call.Arg(0), length = call.Arg(2);
  const auto wanted = static_cast<std::uint8_t>(call.Arg(1));
  for (std::uint32_t i = 0; i < length; ++i) {
    if (machine_.Read8(at + i) == wanted) return at + i;
  }
  return 0;
}

std::uint32_t WindowsSide::memcmp(TrapCall& call) {
  const std::uint32_t length = call.Arg(2);
  if (length == 0) return 0;
  const auto a = machine_.Read_Bytes(call.Arg(0), length), b = machine_.Read_Bytes(call.Arg(1), length);
  return static_cast<std::uint32_t>(std::memcmp(a.data(), b.data(), length));
}

std::uint32_t WindowsSide::memcpy(TrapCall& call) {
  const std::uint32_t length = call.Arg(2);
  if (length != 0) machine_.Write_Bytes(call.Arg(0), machine_.Read_Bytes(call.Arg(1), length).data(), length);
  return call.Arg(0);
}

std::uint32_t WindowsSide::memmove(TrapCall& call) { return memcpy(call); }  // Read_Bytes copies first

std::uint32_t WindowsSide::memset(TrapCall& call) {
  const std::uint32_t length = call.Arg(2);
  if (length != 0) std::memset(machine_.Host_Pointer(call.Arg(0), length), static_cast<int>(call.Arg(1) & 0xFF), length);
  return call.Arg(0);
}

std::uint32_t WindowsSide::strchr(TrapCall& call) {
  const auto wanted = static_cast<char>(call.Arg(1));
  for (std::uint32_t at = call.Arg(0);; ++at) {
    const auto c = static_cast<char>(machine_.Read8(at));
    if (c == wanted) return at;
    if (c == '\0') return 0;
  }
}

std::uint32_t WindowsSide::strcmp(TrapCall& call) {
  const std::string a = machine_.Read_C_String(call.Arg(0)), b = machine_.Read_C_String(call.Arg(1));
  return static_cast<std::uint32_t>(std::strcmp(a.c_str(), b.c_str()));
}

std::uint32_t WindowsSide::strncmp(TrapCall& call) {
  const std::uint32_t limit = call.Arg(2);
  for (std::uint32_t i = 0; i < limit; ++i) {
    const std::uint8_t a = machine_.Read8(call.Arg(0) + i), b = machine_.Read8(call.Arg(1) + i);
    if (a != b) return a < b ? 0xFFFFFFFF : 1;
    if (a == 0) return 0;
  }
  return 0;
}

std::uint32_t WindowsSide::strerror(TrapCall& call) {
  const auto error_number = static_cast<int>(call.Arg(0));
  const char* text = "Unknown error";
  switch (error_number) {
    case 0: text = "No error"; break;
    case ENOENT: text = "No such file or directory"; break;
    case EACCES: text = "Permission denied"; break;
    case EEXIST: text = "File exists"; break;
    case EINVAL: text = "Invalid argument"; break;
    case ENOMEM: text = "Not enough space"; break;
    case ERANGE: text = "Result too large"; break;
    default: break;
  }
  machine_.Write_Bytes(strerror_buffer_, text, static_cast<std::uint32_t>(std::strlen(text) + 1));
  return strerror_buffer_;
}

std::uint32_t WindowsSide::strlen(TrapCall& call) {
  return static_cast<std::uint32_t>(machine_.Read_C_String(call.Arg(0)).size());
}

std::uint32_t WindowsSide::wcslen(TrapCall& call) {
  return static_cast<std::uint32_t>(machine_.Read_Wide_String(call.Arg(0)).size());
}

}  // namespace emulator
