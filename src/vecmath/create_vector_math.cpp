// Creation of the process-wide vector math objects during the host binding.
#include <cstdint>

#include "host/host_address_table.h"
#include "host/host_allocator.h"
#include "vecmath/vector_math.h"

_Vector3MathFunctions* Vector3Math = nullptr;
_Vector4MathFunctions* Vector4Math = nullptr;

namespace {

// The host selects the packed implementation through its flag byte. Builds that carry no
// address for the byte get the scalar implementation.
bool Host_Wants_SSE() {
  const std::uint32_t address = Host_Entry_Value(HostEntry::Host_SSE_Flag);
  if (address == 0) return false;
  const volatile unsigned char* flag =
      reinterpret_cast<const volatile unsigned char*>(static_cast<std::uintptr_t>(address));
  return *flag != 0;
}

}  // namespace

void Create_Vector_Math() {
  // A null block leaves its pointer null; the other object is still created.
  Vector3Math = Host_New<_Vector3MathFunctions>();
  if (Host_Wants_SSE()) {
    Vector4Math = Host_New<_Vector4MathFunctionsSSE>();
  } else {
    Vector4Math = Host_New<_Vector4MathFunctions>();
  }
}
