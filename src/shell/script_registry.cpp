#include "shell/script_registry.h"

#include "host/host_allocator.h"

namespace {

unsigned char Lower_Ascii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

bool Names_Match_Ignoring_Ascii_Case(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const auto ca = Lower_Ascii(static_cast<unsigned char>(*a));
    const auto cb = Lower_Ascii(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

void Release_Registrant(ScriptRegistrant* entry) {
  Host_Operator_Delete(entry->extra);
  Host_String_Clear(entry->name);
  Host_Operator_Delete(entry);
}

}  // namespace

void ScriptFactory::Reserved() {}

ScriptRegistry& Script_Registry() {
  static ScriptRegistry registry;
  return registry;
}

void* Create_Script_Named(const char* name) {
  if (name == nullptr) return nullptr;
  for (ScriptFactory* factory = Script_Registry().factories; factory != nullptr; factory = factory->next) {
    if (factory->name != nullptr && Names_Match_Ignoring_Ascii_Case(factory->name, name)) return factory->Create();
  }
  return nullptr;
}

void Hand_Registrants_To(HostRegistrar* registrar) {
  ScriptRegistrantList* list = Script_Registry().registrants;
  if (list != nullptr && registrar != nullptr) registrar->Register_Scripts(list);
}

void Release_Script_Registrants() {
  ScriptRegistrantList*& list = Script_Registry().registrants;
  if (list == nullptr) return;
  for (ScriptRegistrant** element = list->first; element != nullptr && element != list->last; ++element) {
    if (*element != nullptr) Release_Registrant(*element);
  }
  if (list->first != nullptr) Host_Operator_Delete(list->first);
  list->first = list->last = list->end_of_storage = nullptr;
  Host_Operator_Delete(list->bookkeeping);
  Host_Operator_Delete(list);
  list = nullptr;
}
