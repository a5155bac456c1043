// The seventeen version counts from [General] of the settings file, in catalogue order.
#pragma once

#include <cstdint>

#include "rotation/map_catalogue.h"
#include "settings/staged_ini_file.h"

class VersionSettings : public virtual StagedIniFile {
 public:
  VersionSettings() = default;

  // Stages and opens the settings file, reads and announces every count.
  void Load_Settings();
  std::int32_t Count(std::size_t row) const { return counts_[row]; }

 private:
  std::int32_t counts_[kMapCount] = {};
};

// The plug-in's one settings object, or null (not created yet, refused, unloaded, or the
// host yielded no memory for it).
VersionSettings* Current_Settings();
// Releases any current object, then creates and loads a new one.
void Create_And_Load_Current_Settings();
void Destroy_Current_Settings();
