#ifdef _WIN32
#include "platform/win32.h"

bool Is_Readable_Memory(const void* address, std::size_t length) {
  const char* cursor = static_cast<const char*>(address);
  const char* end = cursor + length;
  while (cursor < end) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(cursor, &region, sizeof region) == 0) return false;
    const DWORD unreadable = PAGE_NOACCESS | PAGE_GUARD;
    if (region.State != MEM_COMMIT || (region.Protect & unreadable) != 0) return false;
    cursor = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}
#endif
