# The host's entry points, exported by their plain names (cdecl). One list serves the
# Windows .def file, the Linux twin's version script and the DLL check.
set(HARVANE_HOST_ENTRY_POINTS
  SSGM_Check_Version
  SSGM_Plugin_Load
  Set_Script_Commands
  SSGM_Level_Loaded_Hook
  Create_Script
  Set_Request_Destroy_Func
  SSGM_Plugin_Unload
)
