// The settings file as the host's INI service sees it: copied into data under "TEMP" +
// its name, opened by that bare name, released and deleted again at teardown.
#pragma once

#include <cstdint>

// Owns one host INI handle; releases a non-null one when destroyed.
class IniHandleOwner {
 public:
  IniHandleOwner() = default;
  IniHandleOwner(const IniHandleOwner&) = delete;
  IniHandleOwner& operator=(const IniHandleOwner&) = delete;
  ~IniHandleOwner() { Release(); }

  void* Get() const { return handle_; }
  void Release();
  void Reset(void* handle) {
    Release();
    handle_ = handle;
  }

 private:
  void* handle_ = nullptr;
};

class StagedIniFile {
 public:
  static constexpr const char* kSettingsFileName = "Harvane.ini";

  StagedIniFile();
  ~StagedIniFile();
  StagedIniFile(const StagedIniFile&) = delete;
  StagedIniFile& operator=(const StagedIniFile&) = delete;

  // Copies the settings file into data and opens the copy, replacing any handle held.
  void Stage_And_Open();
  // Reads [General] key (default 0) into count; the first change of a load gives the notice.
  void Read_General_Int(std::int32_t& count, const char* key);

  const char* File_Name() const { return FileName; }
  const char* Staged_Name() const { return StagedName; }
  void* Ini_Handle() const { return IniHandle.Get(); }
  // False when the host yielded no block for a name.
  bool Names_Exist() const { return FileName != nullptr && StagedName != nullptr; }

 protected:
  char* FileName;            // "Harvane.ini", host array
  IniHandleOwner IniHandle;  // the staged copy as the host opened it, or null
  char* StagedName;          // "TEMP" + FileName, host array
  bool NoticeGiven;          // the change notice of the current load has been written
};
