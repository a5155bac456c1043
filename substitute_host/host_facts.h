// The host executable's own facts, as any stand-in for it lays them out: where each
// identifiable build keeps its signature and routines. Independent of the plug-in's tables,
// so a wrong address on either side shows up.
#pragma once

#include <cstdint>

namespace substitute_host {

struct HostBuildFacts {
  std::int32_t build;
  std::uint32_t probe;
  std::uint32_t host_allocate, host_allocate_array, host_free, host_free_array;
  std::uint32_t sse_flag;                                                         // 0: none
  std::uint32_t get_game_data, host_get_ini, host_release_ini, host_ini_get_int;  // 0: none
};

// The builds a probe can identify: 0, 1 and 4.
constexpr HostBuildFacts kHostBuilds[] = {
    {0, 0x78CE49, 0x672B70, 0x672B70, 0x672C80, 0x672C80, 0x84F702, 0x477CA0, 0x6DAB30, 0x6DABE0, 0x5E10B0},
    {1, 0x78C6E9, 0x672410, 0x672410, 0x672520, 0x672520, 0x84E8EA, 0x477370, 0x6DA3D0, 0x6DA480, 0x5E0950},
    {4, 0x78790C, 0x7A783D, 0x7A783D, 0x7A7866, 0x7A7866, 0, 0, 0, 0, 0},
};

// The short routine whose place tells the builds apart.
constexpr std::uint8_t kHostSignature[19] = {0x6A, 0x40, 0xFF, 0x74, 0x24, 0x0C, 0xFF, 0x74, 0x24, 0x0C,
                                             0xE8, 0xC0, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x0C, 0xC3};

// The facts of an identifiable build; throws std::invalid_argument for any other.
const HostBuildFacts& Host_Build_Facts(std::int32_t build);

}  // namespace substitute_host
