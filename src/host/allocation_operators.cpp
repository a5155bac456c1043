// The product's global allocation operators: every block of the plug-in, the standard
// library's included, comes from and goes back to the host executable's allocator.
// A null block is handed back as it came; nothing is thrown (the code is built with
// -fcheck-new, so constructors only run on a real block).
#include <cstddef>
#include <new>

#include "host/host_allocator.h"

void* operator new(std::size_t size) { return Host_Operator_New(size); }
void* operator new[](std::size_t size) { return Host_Operator_New_Array(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Host_Operator_New(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Host_Operator_New_Array(size); }
void operator delete(void* block) noexcept { Host_Operator_Delete(block); }
void operator delete[](void* block) noexcept { Host_Operator_Delete_Array(block); }
void operator delete(void* block, std::size_t) noexcept { Host_Operator_Delete(block); }
void operator delete[](void* block, std::size_t) noexcept { Host_Operator_Delete_Array(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Host_Operator_Delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Host_Operator_Delete_Array(block); }
