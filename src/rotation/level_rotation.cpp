#include "rotation/level_rotation.h"

#include "common/console.h"
#include "host/host_services.h"
#include "rotation/level_file_copy.h"
#include "rotation/map_catalogue.h"
#include "settings/version_settings.h"

namespace {

// Process lifetime: a new settings object or an unload leaves them where they are.
std::int32_t next_version[kMapCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

}  // namespace

std::int32_t Next_Version(std::size_t row) { return next_version[row]; }

std::int32_t Advanced_Version(std::int32_t cursor, std::int32_t count) {
  // Compared before adding, so a count of INT32_MAX wraps to 1 instead of overflowing.
  return cursor >= count ? 1 : cursor + 1;
}

void Rotate_Loaded_Map() {
  const VersionSettings* settings = Current_Settings();
  if (settings == nullptr) return;
  const int row = Find_Map_Row(Loaded_Map_File_Name());
  if (row < 0) return;
  const std::int32_t count = settings->Count(static_cast<std::size_t>(row));
  if (count < 2) return;

  const MapEntry& map = MapCatalogue[row];
  std::int32_t& cursor = next_version[row];
  cursor = Advanced_Version(cursor, count);
  Console_Print("Copying next modified version of %s to the data directory, ready for the next time the map loads.\n",
                map.display_name);
  char source_path[kSourcePathBufferSize];
  if (Copy_Level_File(map, cursor, source_path)) {
    Console_Print("Next version of %s has been copied successfully from %s\n", map.display_name, source_path);
  }
}
