// The Linux twin has no system loader to deliver the process attach notice: a constructor
// delivers it when the library is loaded. The plug-in's own static objects are all
// constant-initialised (no code runs for them), so there is nothing it must wait for.
#include <dlfcn.h>

#include "host/host_binding.h"

namespace {

HMODULE Own_Module_Handle() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&Own_Module_Handle), &info) == 0) return nullptr;
  // RTLD_NOLOAD hands out the handle of the already loaded library without loading it again.
  void* handle = ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) ::dlclose(handle);
  return handle;
}

__attribute__((constructor)) void Deliver_Process_Attach() {
  DllMain(Own_Module_Handle(), DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace
