#include "rotation/startup_staging.h"

#include "common/console.h"
#include "rotation/level_file_copy.h"
#include "rotation/map_catalogue.h"
#include "settings/version_settings.h"

void Stage_First_Versions() {
  Console_Print("Copying the first modified map versions ready and waiting to the data folder before the map loads...\n");
  const VersionSettings* settings = Current_Settings();
  if (settings == nullptr) return;
  for (std::size_t row = 0; row < kMapCount; ++row) {
    // Above 0, not 2: a single version is staged here and then never rotated.
    if (settings->Count(row) <= 0) continue;
    const MapEntry& map = MapCatalogue[row];
    Console_Print("%s copying...\n", map.display_name);
    char source_path[kSourcePathBufferSize];
    if (Copy_Level_File(map, 1, source_path)) Console_Print("%s copy successful...\n", map.display_name);
  }
}
