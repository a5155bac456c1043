// Linux stand-ins for the Win32 calls of win32.h, so the twin runs the same sources.
#ifndef _WIN32
#include "platform/win32.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>

namespace {

thread_local DWORD last_error = 0;

// A path as Linux spells it. Held in place, not on the heap: the plug-in's allocator is the
// host's and may answer null.
struct LinuxPath {
  char text[PATH_MAX];
  bool fits;
};

LinuxPath With_Forward_Slashes(const char* path) {
  LinuxPath converted{};
  converted.fits = std::strlen(path) < sizeof converted.text;
  if (!converted.fits) return converted;
  for (std::size_t at = 0; path[at] != '\0'; ++at) converted.text[at] = path[at] == '\\' ? '/' : path[at];
  return converted;
}

bool Parent_Folder_Exists(const char* path) {
  char parent[PATH_MAX];
  std::snprintf(parent, sizeof parent, "%s", path);
  char* slash = std::strrchr(parent, '/');
  if (slash == nullptr) return true;
  slash[slash == parent ? 1 : 0] = '\0';
  struct stat status {};
  return ::stat(parent, &status) == 0 && S_ISDIR(status.st_mode);
}

// Maps errno to the code Windows reports for the same failure on `path`.
DWORD Windows_Error_For(int error_number, const char* path) {
  switch (error_number) {
    case ENOENT: return Parent_Folder_Exists(path) ? 2u : 3u;  // ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND
    case ENOTDIR: return 3u;                       // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5u;                        // ERROR_ACCESS_DENIED
    case ETXTBSY:
    case EBUSY: return 32u;                        // ERROR_SHARING_VIOLATION
    case ENOSPC:
    case EDQUOT: return 112u;                      // ERROR_DISK_FULL
    default: return 31u;                           // ERROR_GEN_FAILURE
  }
}

BOOL Fail(DWORD code) {
  last_error = code;
  return FALSE;
}

bool Write_All(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, static_cast<size_t>(size));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

BOOL CopyFileA(const char* source, const char* target, BOOL fail_if_exists) {
  const LinuxPath source_path = With_Forward_Slashes(source);
  const LinuxPath target_path = With_Forward_Slashes(target);
  if (!source_path.fits || !target_path.fits) return Fail(206u);  // ERROR_FILENAME_EXCED_RANGE
  const char* from = source_path.text;
  const char* to = target_path.text;
  int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(Windows_Error_For(errno, from));
  struct stat source_status {};
  if (::fstat(in, &source_status) == 0 && S_ISDIR(source_status.st_mode)) {
    ::close(in);
    return Fail(5u);
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (fail_if_exists ? O_EXCL : 0);
  int out = ::open(to, flags, 0644);
  if (out < 0) {
    int error_number = errno;
    ::close(in);
    return Fail(error_number == EEXIST ? 80u : Windows_Error_For(error_number, to));
  }
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || !Write_All(out, buffer, got)) {
      int error_number = errno;
      ::close(in);
      ::close(out);
      return Fail(Windows_Error_For(error_number, to));
    }
    if (got == 0) break;
  }
  ::close(in);
  if (::close(out) != 0) return Fail(Windows_Error_For(errno, to));
  return TRUE;
}

DWORD GetLastError() { return last_error; }

FARPROC GetProcAddress(HMODULE module, const char* name) {
  // dlsym would read a null handle as "search every loaded object"; a missing module
  // finds nothing instead.
  if (module == nullptr) return Fail(126u), nullptr;  // ERROR_MOD_NOT_FOUND
  void* address = ::dlsym(module, name);
  if (address == nullptr) last_error = 127u;  // ERROR_PROC_NOT_FOUND
  return reinterpret_cast<FARPROC>(address);
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT style) {
  std::fprintf(stderr, "[MessageBox 0x%x] %s: %s\n", style, caption, text);
  std::fflush(stderr);
  return 1;  // IDOK
}

BOOL DisableThreadLibraryCalls(HMODULE) { return TRUE; }

bool Is_Readable_Memory(const void* address, std::size_t length) {
  // The kernel refuses to read from an unmapped or unreadable range with EFAULT
  // instead of faulting, so a pipe is a safe probe.
  int fds[2];
  if (::pipe(fds) != 0) return false;
  bool readable = ::write(fds[1], address, length) == static_cast<ssize_t>(length);
  ::close(fds[0]);
  ::close(fds[1]);
  return readable;
}
#endif
