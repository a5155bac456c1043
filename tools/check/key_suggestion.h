// Which catalogue key an unknown settings key was most likely meant to be.
#pragma once

#include <string_view>

#include "rotation/map_catalogue.h"

namespace harvane_check {

// The row whose key the written name is closest to: the same name apart from letter case,
// blanks, '_' or a "C&C_" prefix, one naming the map's file or display name ("C&C_Walls.mix",
// "City Flying"), or one a slip or two away ("Compex", "Tutorail"). Null when nothing is
// close enough to suggest. Ties go to the earlier row.
const MapEntry* Nearest_Map_Key(std::string_view written);

// Edit distance counting insertions, deletions, substitutions and swaps of neighbours.
int Typing_Distance(std::string_view left, std::string_view right);

}  // namespace harvane_check
