// The import table: every import of KERNEL32.dll, USER32.dll and msvcrt.dll the harness
// knows, with how it is called. Stdcall routines remove their own argument bytes; cdecl
// ones leave them to the caller. A row without a routine is known but not implemented: a
// call to it stops the scenario, naming it.
#include "windows_side.h"

namespace emulator {

namespace {
constexpr auto R = ImportKind::Routine;
constexpr auto D = ImportKind::Data;
constexpr auto G = ImportKind::GuestCode;
constexpr auto C = Convention::Cdecl;
constexpr auto S = Convention::Stdcall;
using W = WindowsSide;
}  // namespace

const std::vector<ImportRow>& Import_Rows() {
  static const std::vector<ImportRow> rows = {
      // KERNEL32.dll: stdcall throughout.
      {"KERNEL32.dll", "CloseHandle", R, S, 4, &W::CloseHandle},
      {"KERNEL32.dll", "CopyFileA", R, S, 12, &W::CopyFileA},
      {"KERNEL32.dll", "CreateSemaphoreW", R, S, 16, &W::CreateSemaphoreW},
      {"KERNEL32.dll", "DeleteCriticalSection", R, S, 4, &W::DeleteCriticalSection},
      {"KERNEL32.dll", "DisableThreadLibraryCalls", R, S, 4, &W::DisableThreadLibraryCalls},
      {"KERNEL32.dll", "EnterCriticalSection", R, S, 4, &W::EnterCriticalSection},
      {"KERNEL32.dll", "FreeLibrary", R, S, 4, &W::FreeLibrary},
      {"KERNEL32.dll", "GetCurrentThreadId", R, S, 0, &W::GetCurrentThreadId},
      {"KERNEL32.dll", "GetLastError", R, S, 0, &W::GetLastError},
      {"KERNEL32.dll", "GetModuleHandleA", R, S, 4, &W::GetModuleHandleA},
      {"KERNEL32.dll", "GetModuleHandleW", R, S, 4, &W::GetModuleHandleW},
      {"KERNEL32.dll", "GetProcAddress", R, S, 8, &W::GetProcAddress},
      {"KERNEL32.dll", "InitializeCriticalSection", R, S, 4, &W::InitializeCriticalSection},
      {"KERNEL32.dll", "IsDBCSLeadByteEx", R, S, 8, nullptr},
      {"KERNEL32.dll", "LeaveCriticalSection", R, S, 4, &W::LeaveCriticalSection},
      {"KERNEL32.dll", "LoadLibraryA", R, S, 4, &W::LoadLibraryA},
      {"KERNEL32.dll", "LoadLibraryW", R, S, 4, &W::LoadLibraryW},
      {"KERNEL32.dll", "MultiByteToWideChar", R, S, 24, nullptr},
      {"KERNEL32.dll", "ReleaseSemaphore", R, S, 12, &W::ReleaseSemaphore},
      {"KERNEL32.dll", "SetLastError", R, S, 4, &W::SetLastError},
      {"KERNEL32.dll", "Sleep", R, S, 4, &W::Sleep},
      {"KERNEL32.dll", "TlsAlloc", R, S, 0, &W::TlsAlloc},
      {"KERNEL32.dll", "TlsFree", R, S, 4, &W::TlsFree},
      {"KERNEL32.dll", "TlsGetValue", R, S, 4, &W::TlsGetValue},
      {"KERNEL32.dll", "TlsSetValue", R, S, 8, &W::TlsSetValue},
      {"KERNEL32.dll", "VirtualProtect", R, S, 16, &W::VirtualProtect},
      {"KERNEL32.dll", "VirtualQuery", R, S, 12, &W::VirtualQuery},
      {"KERNEL32.dll", "WaitForSingleObject", R, S, 8, &W::WaitForSingleObject},
      {"KERNEL32.dll", "WideCharToMultiByte", R, S, 32, nullptr},
      // USER32.dll
      {"USER32.dll", "MessageBoxA", R, S, 16, &W::MessageBoxA},
      // msvcrt.dll: cdecl throughout.
      {"msvcrt.dll", "__mb_cur_max", D, C, 0, nullptr},
      {"msvcrt.dll", "_iob", D, C, 0, nullptr},
      {"msvcrt.dll", "_initterm", G, C, 0, nullptr},
      {"msvcrt.dll", "__setusermatherr", R, C, 0, &W::setusermatherr},
      {"msvcrt.dll", "_amsg_exit", R, C, 0, &W::amsg_exit},
      {"msvcrt.dll", "_errno", R, C, 0, &W::errno_location},
      {"msvcrt.dll", "_lock", R, C, 0, &W::lock},
      {"msvcrt.dll", "_unlock", R, C, 0, &W::unlock},
      {"msvcrt.dll", "_read", R, C, 0, nullptr},
      {"msvcrt.dll", "_close", R, C, 0, nullptr},
      {"msvcrt.dll", "abort", R, C, 0, &W::abort},
      {"msvcrt.dll", "atoi", R, C, 0, &W::atoi},
      {"msvcrt.dll", "calloc", R, C, 0, &W::calloc},
      {"msvcrt.dll", "malloc", R, C, 0, &W::malloc},
      {"msvcrt.dll", "realloc", R, C, 0, &W::realloc},
      {"msvcrt.dll", "free", R, C, 0, &W::free},
      {"msvcrt.dll", "fopen", R, C, 0, &W::fopen},
      {"msvcrt.dll", "fclose", R, C, 0, &W::fclose},
      {"msvcrt.dll", "fflush", R, C, 0, &W::fflush},
      {"msvcrt.dll", "fputc", R, C, 0, &W::fputc},
      {"msvcrt.dll", "fputs", R, C, 0, &W::fputs},
      {"msvcrt.dll", "fwrite", R, C, 0, &W::fwrite},
      {"msvcrt.dll", "localeconv", R, C, 0, &W::localeconv},
      {"msvcrt.dll", "setlocale", R, C, 0, &W::setlocale},
      {"msvcrt.dll", "localtime", R, C, 0, &W::localtime},
      {"msvcrt.dll", "time", R, C, 0, &W::time},
      {"msvcrt.dll", "remove", R, C, 0, &W::remove},
      {"msvcrt.dll", "memchr", R, C, 0, &W::memchr},
      {"msvcrt.dll", "memcmp", R, C, 0, &W::memcmp},
      {"msvcrt.dll", "memcpy", R, C, 0, &W::memcpy},
      {"msvcrt.dll", "memmove", R, C, 0, &W::memmove},
      {"msvcrt.dll", "memset", R, C, 0, &W::memset},
      {"msvcrt.dll", "strchr", R, C, 0, &W::strchr},
      {"msvcrt.dll", "strcmp", R, C, 0, &W::strcmp},
      {"msvcrt.dll", "strerror", R, C, 0, &W::strerror},
      {"msvcrt.dll", "strlen", R, C, 0, &W::strlen},
      {"msvcrt.dll", "strncmp", R, C, 0, &W::strncmp},
      {"msvcrt.dll", "vfprintf", R, C, 0, nullptr},  // the DLL formats with its own printf
      {"msvcrt.dll", "wcslen", R, C, 0, &W::wcslen},
  };
  return rows;
}

}  // namespace emulator
