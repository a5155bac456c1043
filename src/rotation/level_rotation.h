// After each level load, the next version of that map's level file goes into data.
#pragma once

#include <cstddef>
#include <cstdint>

void Rotate_Loaded_Map();
// The version last copied (or attempted) for a catalogue row; 1 until its first rotation.
std::int32_t Next_Version(std::size_t row);
// Advances a cursor for a map with `count` versions: cursor + 1, wrapping to 1 past count.
std::int32_t Advanced_Version(std::int32_t cursor, std::int32_t count);
