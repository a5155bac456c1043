// The Windows around the DLL: KERNEL32.dll, USER32.dll and msvcrt.dll as small pseudo
// modules in emulator memory whose exports are traps into the routines of this class, the
// C runtime's data (_iob, __mb_cur_max), and the extension library the host hands over.
//
// The import table (windows_imports.cpp) lists every import the harness knows with its
// convention and argument bytes; an import the DLL calls that the harness does not
// implement stops the scenario with its name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "guest_heap.h"
#include "pe_loader.h"
#include "x86_machine.h"

namespace emulator {

class WindowsSide;

enum class ImportKind {
  Routine,    // a trap into the harness
  Data,       // the slot points at data of the pseudo module
  GuestCode,  // x86 code placed in the pseudo module: routines that call back into the DLL
};

struct ImportRow {
  const char* module;
  const char* name;
  ImportKind kind;
  Convention convention;
  std::uint32_t arg_bytes;
  std::uint32_t (WindowsSide::*handler)(TrapCall&);  // null: known, but not implemented
};

// The rows, in windows_imports.cpp.
const std::vector<ImportRow>& Import_Rows();

struct MessageBoxCall {
  std::string caption, text;
  std::uint32_t style;
};

// What bhs.dll exports: every name but the missing ones, or none at all.
struct ExtensionLibraryShape {
  bool exports_none = false;
  std::set<std::string> missing;
};

class WindowsSide {
 public:
  static constexpr std::uint32_t kKernel32Base = 0x7C800000;
  static constexpr std::uint32_t kUser32Base = 0x7E410000;
  static constexpr std::uint32_t kMsvcrtBase = 0x77C10000;
  static constexpr std::uint32_t kExtensionLibraryBase = 0x05000000;
  static constexpr std::uint32_t kHostExecutableBase = 0x00400000;

  WindowsSide(X86Machine& machine, ExtensionLibraryShape extension);
  ~WindowsSide();

  // For the loader: the address an import's slot gets. Fails loudly on a module that is
  // none of the three.
  std::uint32_t Resolve_Import(const ImportReference& reference);
  void Set_Plugin_Module(const std::string& name, std::uint32_t base) {
    plugin_name_ = name;
    plugin_base_ = base;
  }

  std::uint32_t Extension_Library_Handle() const { return kExtensionLibraryBase; }
  std::uint32_t Extension_Export_Address(const std::string& name);  // assigns one if needed

  std::string Take_Console();       // bytes written to stdout through the C runtime
  std::string Error_Output() const { return error_output_; }
  std::vector<MessageBoxCall> Take_Boxes();
  std::uint32_t Last_Error();
  std::size_t Crt_Live_Blocks() const { return crt_heap_.Live_Blocks(); }
  bool Thread_Calls_Disabled() const { return thread_calls_disabled_; }
  const std::vector<std::string>& Proc_Address_Misses() const { return proc_address_misses_; }

  // --- routines (KERNEL32) ---
  std::uint32_t CloseHandle(TrapCall& call);
  std::uint32_t CopyFileA(TrapCall& call);
  std::uint32_t CreateSemaphoreW(TrapCall& call);
  std::uint32_t DeleteCriticalSection(TrapCall& call);
  std::uint32_t DisableThreadLibraryCalls(TrapCall& call);
  std::uint32_t EnterCriticalSection(TrapCall& call);
  std::uint32_t FreeLibrary(TrapCall& call);
  std::uint32_t GetCurrentThreadId(TrapCall& call);
  std::uint32_t GetLastError(TrapCall& call);
  std::uint32_t GetModuleHandleA(TrapCall& call);
  std::uint32_t GetModuleHandleW(TrapCall& call);
  std::uint32_t GetProcAddress(TrapCall& call);
  std::uint32_t InitializeCriticalSection(TrapCall& call);
  std::uint32_t LeaveCriticalSection(TrapCall& call);
  std::uint32_t LoadLibraryA(TrapCall& call);
  std::uint32_t LoadLibraryW(TrapCall& call);
  std::uint32_t ReleaseSemaphore(TrapCall& call);
  std::uint32_t SetLastError(TrapCall& call);
  std::uint32_t Sleep(TrapCall& call);
  std::uint32_t TlsAlloc(TrapCall& call);
  std::uint32_t TlsFree(TrapCall& call);
  std::uint32_t TlsGetValue(TrapCall& call);
  std::uint32_t TlsSetValue(TrapCall& call);
  std::uint32_t VirtualProtect(TrapCall& call);
  std::uint32_t VirtualQuery(TrapCall& call);
  std::uint32_t WaitForSingleObject(TrapCall& call);
  // --- USER32 ---
  std::uint32_t MessageBoxA(TrapCall& call);
  // --- msvcrt ---
  std::uint32_t setusermatherr(TrapCall& call);
  std::uint32_t amsg_exit(TrapCall& call);
  std::uint32_t errno_location(TrapCall& call);
  std::uint32_t lock(TrapCall& call);
  std::uint32_t unlock(TrapCall& call);
  std::uint32_t abort(TrapCall& call);
  std::uint32_t atoi(TrapCall& call);
  std::uint32_t calloc(TrapCall& call);
  std::uint32_t malloc(TrapCall& call);
  std::uint32_t realloc(TrapCall& call);
  std::uint32_t free(TrapCall& call);
  std::uint32_t fopen(TrapCall& call);
  std::uint32_t fclose(TrapCall& call);
  std::uint32_t fflush(TrapCall& call);
  std::uint32_t fputc(TrapCall& call);
  std::uint32_t fputs(TrapCall& call);
  std::uint32_t fwrite(TrapCall& call);
  std::uint32_t localeconv(TrapCall& call);
  std::uint32_t setlocale(TrapCall& call);
  std::uint32_t localtime(TrapCall& call);
  std::uint32_t time(TrapCall& call);
  std::uint32_t remove(TrapCall& call);
  std::uint32_t memchr(TrapCall& call);
  std::uint32_t memcmp(TrapCall& call);
  std::uint32_t memcpy(TrapCall& call);
  std::uint32_t memmove(TrapCall& call);
  std::uint32_t memset(TrapCall& call);
  std::uint32_t strchr(TrapCall& call);
  std::uint32_t strcmp(TrapCall& call);
  std::uint32_t strerror(TrapCall& call);
  std::uint32_t strlen(TrapCall& call);
  std::uint32_t strncmp(TrapCall& call);
  std::uint32_t wcslen(TrapCall& call);

 private:
  struct PseudoModule {
    std::string name;
    std::uint32_t base;
    std::uint32_t next_stub;
    std::map<std::string, std::uint32_t> exports;  // lower-cased name -> address
  };
  struct OpenFile {
    std::FILE* host = nullptr;  // null for the console streams
    bool text = true;
    bool writable = false;
    std::string* sink = nullptr;  // console streams
    std::string path;
  };

  void Build_Module(PseudoModule& module, std::uint32_t code_size, std::uint32_t data_size);
  std::uint32_t Place_Export(PseudoModule& module, const ImportRow& row);
  void Lay_Out_Crt_Data();
  PseudoModule* Module_By_Name(std::string name);
  PseudoModule* Module_By_Handle(std::uint32_t handle);
  std::uint32_t Module_Handle(const std::string& name);
  void Set_Last_Error(std::uint32_t code);
  void Set_Errno(int value);
  OpenFile& Stream(std::uint32_t file);
  void Write_Stream(std::uint32_t file, const std::uint8_t* bytes, std::uint32_t length);
  std::uint32_t Crt_Data(std::uint32_t size);

  X86Machine& machine_;
  ExtensionLibraryShape extension_;
  std::map<std::string, std::uint32_t> extension_exports_;
  std::uint32_t next_extension_export_;
  PseudoModule kernel32_, user32_, msvcrt_;
  GuestHeap crt_heap_;
  std::string plugin_name_;
  std::uint32_t plugin_base_ = 0;

  std::uint32_t iob_ = 0, mb_cur_max_ = 0, errno_ = 0, tm_ = 0, lconv_ = 0, c_locale_name_ = 0,
                strerror_buffer_ = 0, data_cursor_ = 0, data_end_ = 0;
  std::map<std::uint32_t, OpenFile> files_;  // by FILE address
  std::vector<std::uint32_t> free_file_blocks_;
  std::string console_, error_output_;
  std::vector<MessageBoxCall> boxes_;
  std::vector<std::string> proc_address_misses_;
  bool thread_calls_disabled_ = false;
  std::uint32_t next_tls_slot_ = 0;
  std::uint32_t next_handle_ = 0x100;
};

}  // namespace emulator
