#include "rotation/level_file_copy.h"

#include "common/console.h"
#include "platform/win32.h"

bool Copy_Level_File(const MapEntry& map, int version, char (&source_path)[kSourcePathBufferSize]) {
  Format_Version_Source_Path(map, version, source_path);
  if (CopyFileA(source_path, Data_Destination_Path(map).c_str(), FALSE)) return true;
  Console_Print("Copying failed...\nWindows system error code: %i\n", static_cast<int>(GetLastError()));
  return false;
}
