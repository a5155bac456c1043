#include "host/host_binding.h"

#include <cstring>

#include "host/host_address_table.h"
#include "vecmath/vector_math.h"

const std::uint8_t kHostBuildSignature[kHostBuildSignatureLength] = {
    0x6A, 0x40, 0xFF, 0x74, 0x24, 0x0C, 0xFF, 0x74, 0x24, 0x0C,
    0xE8, 0xC0, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x0C, 0xC3};

namespace {

bool binding_attempted = false;

bool Signature_Lies_At(std::uintptr_t address) {
  const void* where = reinterpret_cast<const void*>(address);
  // A host image that is not mapped where we look is simply not that build.
  return Is_Readable_Memory(where, kHostBuildSignatureLength) &&
         std::memcmp(where, kHostBuildSignature, kHostBuildSignatureLength) == 0;
}

void Run_Build_Probes() {
  for (const HostBuildProbe& probe : kHostBuildProbes) {
    if (Signature_Lies_At(probe.address)) Set_Host_Build(static_cast<HostBuild>(probe.build));
  }
}

}  // namespace

bool Host_Binding_Attempted() { return binding_attempted; }

void Init_Host_Bindings() {
  // Set first: the allocations of Create_Vector_Math below must not start binding again
  // in a host whose allocator entries stay zero.
  binding_attempted = true;
  Run_Build_Probes();
  Fill_Host_Address_Steps(kFirstInitStep, kLastStepBeforeVectorMath);
  Create_Vector_Math();
  Fill_Host_Address_Steps(kLastStepBeforeVectorMath + 1, kLastInitStep);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  DisableThreadLibraryCalls(static_cast<HMODULE>(module));
  // An allocation during static construction may have bound the host already; an
  // unrecognised host is not probed a second time either.
  if (Current_Host_Build() == HostBuild_Unidentified && !binding_attempted) Init_Host_Bindings();
  Fill_Host_Address_Steps(kAttachStep, kAttachStep);
  return TRUE;
}
