#include "settings/staged_ini_file.h"

#include <cstdio>
#include <cstring>

#include "common/format_string.h"
#include "gamelog/game_log_writer.h"
#include "host/host_allocator.h"
#include "host/host_services.h"
#include "platform/win32.h"

namespace {

const char kStagedNameFormat[] = "TEMP%s";
const char kSettingsSection[] = "General";

char* Host_Char_Array(std::size_t length) { return static_cast<char*>(Host_Operator_New_Array(length)); }

FormattedText Staged_Copy_Path(const char* staged_name) { return Format_String("./data/%s", staged_name); }

}  // namespace

void IniHandleOwner::Release() {
  if (handle_ != nullptr) Host_Release_INI(handle_);
  handle_ = nullptr;
}

StagedIniFile::StagedIniFile() : FileName(nullptr), StagedName(nullptr), NoticeGiven(false) {
  const std::size_t name_length = std::strlen(kSettingsFileName);
  FileName = Host_Char_Array(name_length + 1);
  if (FileName != nullptr) std::memcpy(FileName, kSettingsFileName, name_length + 1);
  // Without the first name there is nothing to prefix; the object then stays inert.
  if (FileName == nullptr) return;
  const std::size_t staged_length = name_length + 5;
  StagedName = Host_Char_Array(staged_length);
  if (StagedName != nullptr) std::snprintf(StagedName, staged_length, kStagedNameFormat, FileName);
}

StagedIniFile::~StagedIniFile() {
  // The host must let go of the file before it can be deleted.
  IniHandle.Release();
  if (StagedName != nullptr) std::remove(Staged_Copy_Path(StagedName).c_str());
  if (FileName != nullptr) Host_Operator_Delete_Array(FileName);
  if (StagedName != nullptr) Host_Operator_Delete_Array(StagedName);
}

void StagedIniFile::Stage_And_Open() {
  if (!Names_Exist()) return;
  {
    const FormattedText target = Staged_Copy_Path(StagedName);
    const FormattedText source = Format_String("./%s", FileName);
    std::remove(target.c_str());
    CopyFileA(source.c_str(), target.c_str(), FALSE);
  }
  IniHandle.Release();
  IniHandle.Reset(Host_Get_INI(StagedName));
}

void StagedIniFile::Read_General_Int(std::int32_t& count, const char* key) {
  const std::int32_t previous = count;
  const std::int32_t value = Host_INI_Get_Int(IniHandle.Get(), kSettingsSection, key, 0);
  count = value;
  if (value == previous || NoticeGiven) return;
  NoticeGiven = true;
  const FormattedText notice = Format_String("New settings detected and loaded from %s!", FileName);
  GameLogWriter(notice.c_str(), "_GENERAL");
}
