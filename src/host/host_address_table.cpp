#include "host/host_address_table.h"

#include <cstddef>

namespace {

constexpr int kBuildColumns = 5;  // builds 0 to 4; build 6 has no row anywhere

struct HostAddressRow {
  int step;
  HostEntry entry;
  std::uint32_t address[kBuildColumns];  // by build 0, 1, 2, 3, 4; zero: no row
};

// One row per carried entry, in filling order. Builds 2 and 3 are never identified by a
// probe; their values are kept where known. The step-16 values of builds 2 and 3 are not
// known to us and stay zero.
constexpr HostAddressRow kHostAddressRows[] = {
    {1, HostEntry::Host_Allocate, {0x672B70, 0x672410, 0x804AA48, 0x8053B04, 0x7A783D}},
    {1, HostEntry::Host_Allocate_Array, {0x672B70, 0x672410, 0x804A7B8, 0x8053A14, 0x7A783D}},
    {1, HostEntry::Host_Free, {0x672C80, 0x672520, 0x804A8F8, 0x8053434, 0x7A7866}},
    {1, HostEntry::Host_Free_Array, {0x672C80, 0x672520, 0x804AA08, 0x8053A54, 0x7A7866}},
    {1, HostEntry::Host_SSE_Flag, {0x84F702, 0x84E8EA, 0x86E5302, 0x860DDA2, 0}},
    {1, HostEntry::Further_Routine_A, {0x4287E0, 0x428960, 0x805BBB8, 0x8063F56, 0}},
    {1, HostEntry::Further_Routine_B, {0x428B50, 0x428CD0, 0x805BF40, 0x80642B2, 0}},
    {1, HostEntry::Second_Flag_Byte, {0x84F706, 0x84E8EE, 0x86E5306, 0x860DDA6, 0}},
    {3, HostEntry::Step3_Routine, {0x402AA0, 0x402AA0, 0, 0, 0}},
    {7, HostEntry::Get_Game_Data, {0x477CA0, 0x477370, 0x807CCD0, 0x807C7A8, 0}},
    {15, HostEntry::Host_Get_INI, {0x6DAB30, 0x6DA3D0, 0x80E0F40, 0x80D3D74, 0}},
    {15, HostEntry::Host_Release_INI, {0x6DABE0, 0x6DA480, 0x80E101C, 0x80D3E4C, 0}},
    {15, HostEntry::Host_INI_Get_Int, {0x5E10B0, 0x5E0950, 0x83544AC, 0x830832E, 0}},
    {16, HostEntry::Attach_Routine_A, {0, 0x526540, 0, 0, 0}},
    {16, HostEntry::Attach_Routine_B, {0, 0x5265B0, 0, 0, 0}},
    {16, HostEntry::Attach_Routine_C, {0, 0x8110EC, 0, 0, 0}},
};

HostBuild current_build = HostBuild_Unidentified;
std::uint32_t entries[static_cast<std::size_t>(HostEntry::Count)] = {};

const HostAddressRow* Row_Of(HostEntry entry) {
  for (const HostAddressRow& row : kHostAddressRows) {
    if (row.entry == entry) return &row;
  }
  return nullptr;
}

std::uint32_t Address_In_Row(const HostAddressRow& row, std::int32_t build) {
  return build >= 0 && build < kBuildColumns ? row.address[build] : 0;
}

}  // namespace

HostBuild Current_Host_Build() { return current_build; }

void Set_Host_Build(HostBuild build) { current_build = build; }

void Set_Host_Entry(HostEntry entry, std::uint32_t address) { entries[static_cast<std::size_t>(entry)] = address; }

std::uint32_t Host_Entry_Value(HostEntry entry) {
  return entries[static_cast<std::size_t>(entry)];
}

std::uint32_t Host_Address_For(HostEntry entry, std::int32_t build) {
  const HostAddressRow* row = Row_Of(entry);
  return row ? Address_In_Row(*row, build) : 0;
}

void Fill_Host_Address_Steps(int first_step, int last_step) {
  for (const HostAddressRow& row : kHostAddressRows) {
    if (row.step < first_step || row.step > last_step) continue;
    entries[static_cast<std::size_t>(row.entry)] = Address_In_Row(row, current_build);
  }
}
