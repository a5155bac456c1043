// Script factories searched by name, and the registrant list handed to the host.
// Nothing in this plug-in fills either list; the mechanism stays ready for when it does.
#pragma once

#include <cstdint>

#include "common/host_string.h"

class ScriptFactory {
 public:
  virtual void Reserved();     // not called by the registry
  virtual void* Create() = 0;  // a new script object
  ScriptFactory* next = nullptr;
  const char* name = nullptr;

 protected:
  ~ScriptFactory() = default;
};

struct ScriptRegistrant {
  HostString name;
  void* extra;  // a further block owned by the entry
};

// The host's growable-array layout.
struct ScriptRegistrantList {
  void* bookkeeping;
  std::uint32_t array_words[2];  // the array type's own, never read or written
  ScriptRegistrant** first;
  ScriptRegistrant** last;
  ScriptRegistrant** end_of_storage;
};

// The host's registrar: its third operation takes the registrant list at plug-in load.
class HostRegistrar {
 public:
  virtual void Operation0() = 0;
  virtual void Operation1() = 0;
  virtual void Register_Scripts(ScriptRegistrantList* list) = 0;

 protected:
  ~HostRegistrar() = default;
};

using DestroyRequestRoutine = void (*)(void*);

struct ScriptRegistry {
  ScriptFactory* factories = nullptr;             // head of the factory list; entries never freed
  ScriptRegistrantList* registrants = nullptr;    // owned; null until it exists
  DestroyRequestRoutine request_destroy = nullptr;  // stored, never called
};
ScriptRegistry& Script_Registry();

void* Create_Script_Named(const char* name);
void Hand_Registrants_To(HostRegistrar* registrar);
void Release_Script_Registrants();
