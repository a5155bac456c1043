#include "settings/version_settings.h"

#include "common/console.h"
#include "host/host_allocator.h"

namespace {

VersionSettings* current_settings = nullptr;

}  // namespace

void VersionSettings::Load_Settings() {
  Stage_And_Open();
  NoticeGiven = false;
  for (std::size_t row = 0; row < kMapCount; ++row) {
    Read_General_Int(counts_[row], MapCatalogue[row].key);
    if (counts_[row] > 0) {
      Console_Print("Number of modded versions for %s equals %i\n", MapCatalogue[row].map_file_name,
                    static_cast<int>(counts_[row]));
    }
  }
}

VersionSettings* Current_Settings() { return current_settings; }

void Create_And_Load_Current_Settings() {
  // The old object goes first: its teardown deletes the staged copy, which must not hit
  // the new object's copy.
  Destroy_Current_Settings();
  VersionSettings* settings = Host_New<VersionSettings>();
  // An object without its names could neither stage nor report which file changed.
  if (settings != nullptr && !settings->Names_Exist()) {
    Host_Delete(settings);
    settings = nullptr;
  }
  current_settings = settings;
  if (current_settings != nullptr) current_settings->Load_Settings();
}

void Destroy_Current_Settings() {
  Host_Delete(current_settings);
  current_settings = nullptr;
}
