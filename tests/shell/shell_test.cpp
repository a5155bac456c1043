// The script factory registry, the registrant list's hand-over and release, the version
// query, and the extension binding's own pointers.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "fresh_process.h"
#include "host/command_table_binding.h"
#include "host/host_allocator.h"
#include "host/host_binding.h"
#include "output_capture.h"
#include "shell/plugin_exports.h"
#include "shell/script_registry.h"
#include "substitute_host.h"

namespace {

void Attach_To_Host() {
  substitute_host::Map_Host_Image(substitute_host::Layout{{0}, 0});
  DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
}

class FixtureFactory final : public ScriptFactory {
 public:
  FixtureFactory(const char* script_name, int tag) : tag_(tag) { name = script_name; }
  void* Create() override { return &tag_; }
  int tag_;
};

struct FactoryCase {
  const char* looked_up;
  int expected_tag;  // 0: no script
};

TEST(ScriptRegistry, FindsFactoriesByNameIgnoringAsciiCaseFirstEntryWins) {
  FixtureFactory first("Harvane_Door", 1);
  FixtureFactory same_but_case("HARVANE_door", 2);
  FixtureFactory other("Spawner\xC4", 3);
  first.next = &same_but_case;
  same_but_case.next = &other;
  const FactoryCase cases[] = {
      {"Harvane_Door", 1}, {"harvane_door", 1}, {"HARVANE_DOOR", 1}, {"Harvane_Doo", 0},
      {"Harvane_Doors", 0}, {"spawner\xC4", 3}, {"Spawner\xE4", 0}, {"", 0},
  };
  In_Fresh_Process([&] {
    EXPECT_EQ(Create_Script("Harvane_Door"), nullptr) << "empty list";
    Script_Registry().factories = &first;
    EXPECT_EQ(Create_Script(nullptr), nullptr);
    for (const FactoryCase& factory_case : cases) {
      void* script = Create_Script(factory_case.looked_up);
      const int tag = script ? *static_cast<int*>(script) : 0;
      EXPECT_EQ(tag, factory_case.expected_tag) << factory_case.looked_up;
    }
  });
}

void First_Routine(void*) {}
void Second_Routine(void*) {}

TEST(ScriptRegistry, KeepsTheLastDestroyRequestRoutine) {
  In_Fresh_Process([] {
    Set_Request_Destroy_Func(&First_Routine);
    Set_Request_Destroy_Func(&Second_Routine);
    EXPECT_EQ(Script_Registry().request_destroy, &Second_Routine);
  });
}

class RecordingRegistrar final : public HostRegistrar {
 public:
  void Operation0() override { calls.push_back("0"); }
  void Operation1() override { calls.push_back("1"); }
  void Register_Scripts(ScriptRegistrantList* list) override {
    calls.push_back("register");
    handed = list;
  }
  std::vector<std::string> calls;
  ScriptRegistrantList* handed = nullptr;
};

ScriptRegistrant* Host_Registrant(const char* name) {
  auto* entry = static_cast<ScriptRegistrant*>(Host_Operator_New(sizeof(ScriptRegistrant)));
  entry->name = HostString{};
  entry->name.capacity = kHostStringInPlaceCapacity;
  Host_String_Assign(entry->name, name);
  entry->extra = Host_Operator_New(12);
  return entry;
}

// A list as the plug-in would build it: every block from the host allocator.
ScriptRegistrantList* Host_Registrant_List() {
  auto* list = static_cast<ScriptRegistrantList*>(Host_Operator_New(sizeof(ScriptRegistrantList)));
  std::memset(list, 0, sizeof *list);
  list->bookkeeping = Host_Operator_New(8);
  auto** storage = static_cast<ScriptRegistrant**>(Host_Operator_New(4 * sizeof(ScriptRegistrant*)));
  storage[0] = Host_Registrant("Short");
  storage[1] = nullptr;
  storage[2] = Host_Registrant("A registrant name held on the heap");
  list->first = storage;
  list->last = storage + 3;
  list->end_of_storage = storage + 4;
  return list;
}

TEST(ScriptRegistry, LoadHandsAnExistingListToTheRegistrarsThirdOperation) {
  In_Fresh_Process([] {
    Attach_To_Host();
    unsigned char plugin_info[96] = {};
    RecordingRegistrar registrar;
    SSGM_Plugin_Load(nullptr, nullptr, &registrar, nullptr, plugin_info);
    EXPECT_TRUE(registrar.calls.empty()) << "no list, no call";
    Script_Registry().registrants = Host_Registrant_List();
    SSGM_Plugin_Load(nullptr, nullptr, &registrar, nullptr, plugin_info);
    EXPECT_EQ(registrar.calls, std::vector<std::string>{"register"});
    EXPECT_EQ(registrar.handed, Script_Registry().registrants);
  });
}

TEST(ScriptRegistry, UnloadReleasesEveryBlockOfTheList) {
  In_Fresh_Process([] {
    Attach_To_Host();
    const std::size_t attached = substitute_host::Allocator_Report().live_blocks;
    SSGM_Plugin_Unload();
    EXPECT_EQ(substitute_host::Allocator_Report().releases, 0u) << "no list, nothing released";

    Script_Registry().registrants = Host_Registrant_List();
    EXPECT_EQ(substitute_host::Allocator_Report().live_blocks, attached + 8);
    SSGM_Plugin_Unload();
    EXPECT_EQ(Script_Registry().registrants, nullptr);
    const auto report = substitute_host::Allocator_Report();
    EXPECT_EQ(report.live_blocks, attached);
    EXPECT_EQ(report.foreign_releases, 0u);
    SSGM_Plugin_Unload();  // a second unload finds nothing to release
    EXPECT_EQ(substitute_host::Allocator_Report().foreign_releases, 0u);
  });
}

TEST(PluginInfo, VersionQueryWritesOnlyTheHostVersionAndItsFlag) {
  In_Fresh_Process([] {
    Attach_To_Host();
    unsigned char plugin_info[100];
    std::memset(plugin_info, 0x5A, sizeof plugin_info);
    HostString empty{};
    empty.bookkeeping = 0x5A5A5A5Au;
    empty.capacity = kHostStringInPlaceCapacity;
    std::memcpy(plugin_info + kHostVersionOffset, &empty, sizeof empty);
    unsigned char before[100];
    std::memcpy(before, plugin_info, sizeof before);

    EXPECT_TRUE(SSGM_Check_Version(nullptr, plugin_info));
    HostString version;
    std::memcpy(&version, plugin_info + kHostVersionOffset, sizeof version);
    EXPECT_EQ(Host_String_Value(version), "2.0.2");
    EXPECT_EQ(plugin_info[kPluginInfoFlagOffset], 0);
    for (std::size_t byte = 0; byte < sizeof plugin_info; ++byte) {
      const bool in_version = byte >= kHostVersionOffset + 4 && byte < kHostVersionOffset + sizeof(HostString);
      if (!in_version && byte != kPluginInfoFlagOffset) {
        EXPECT_EQ(plugin_info[byte], before[byte]) << "byte " << byte;
      }
    }
  });
}

TEST(ExtensionBinding, MissingExportLeavesItsOwnPointerNullAndBindsTheRest) {
  In_Fresh_Process([] {
    Attach_To_Host();
    void* library = ::dlopen(HARVANE_EXTENSION_STAND_IN_DIR "/bhs-without-New_Display_Text_Player.so", RTLD_NOW);
    ASSERT_NE(library, nullptr);
    Keep_Extension_Library(library);
    unsigned char table[816] = {};
    std::uint32_t header[2] = {816, 174};
    std::memcpy(table, header, sizeof header);
    ASSERT_TRUE(Accept_Host_Commands(table));
    {
      OutputCapture boxes(stderr);
      Bind_Extension_Exports();
      EXPECT_EQ(boxes.Take(), "[MessageBox 0x30] New_Display_Text_Player: Error getting function address from bhs.dll\n");
    }
    for (const ExtensionExport& row : kExtensionExports) {
      if (row.own_pointer == nullptr) continue;
      const bool missing = std::strcmp(row.name, "New_Display_Text_Player") == 0;
      const void* expected = missing ? nullptr : ::dlsym(library, row.name);
      EXPECT_EQ(reinterpret_cast<void*>(*row.own_pointer), expected) << row.name;
    }
  });
}

}  // namespace
