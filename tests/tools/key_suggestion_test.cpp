// Which catalogue key the checker suggests for a key it does not know.
#include "check/key_suggestion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SuggestionCase {
  const char* written;
  const char* suggested;  // null: nothing close enough
};

void PrintTo(const SuggestionCase& param, std::ostream* out) { *out << '"' << param.written << '"'; }

class KeySuggestionTest : public ::testing::TestWithParam<SuggestionCase> {};

TEST_P(KeySuggestionTest, SuggestsTheNearestKey) {
  const MapEntry* nearest = harvane_check::Nearest_Map_Key(GetParam().written);
  if (GetParam().suggested == nullptr) {
    EXPECT_EQ(nearest, nullptr) << GetParam().written << " -> " << (nearest ? nearest->key : "");
  } else {
    ASSERT_NE(nearest, nullptr) << GetParam().written;
    EXPECT_STREQ(nearest->key, GetParam().suggested) << GetParam().written;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Slips, KeySuggestionTest,
    ::testing::Values(
        // a letter left out, added, changed or swapped
        SuggestionCase{"Compex", "Complex"}, SuggestionCase{"Complexx", "Complex"}, SuggestionCase{"Camplex", "Complex"},
        SuggestionCase{"Tutorail", "Tutorial"}, SuggestionCase{"Hourglas", "Hourglass"}, SuggestionCase{"Cmplx", "Complex"},
        // the map named another way
        SuggestionCase{"City Flying", "CityFlying"}, SuggestionCase{"Walls_Flying", "WallsFlying"},
        SuggestionCase{"C&C_Walls.mix", "Walls"}, SuggestionCase{"C&C_City.ldd", "City"},
        SuggestionCase{"M00_Tutorial", "Tutorial"}, SuggestionCase{"m01.ldd", "M01"}, SuggestionCase{"M1", "M01"},
        // the shorter of two similar keys when it is the nearer
        SuggestionCase{"Wals", "Walls"}, SuggestionCase{"CityFlyin", "CityFlying"},
        // nothing near
        SuggestionCase{"Glacier", nullptr}, SuggestionCase{"Settings", nullptr}, SuggestionCase{"", nullptr},
        SuggestionCase{"_ _", nullptr}));

TEST(TypingDistance, CountsEachSlipOnce) {
  using harvane_check::Typing_Distance;
  EXPECT_EQ(Typing_Distance("complex", "complex"), 0);
  EXPECT_EQ(Typing_Distance("compex", "complex"), 1);     // left out
  EXPECT_EQ(Typing_Distance("complexx", "complex"), 1);   // added
  EXPECT_EQ(Typing_Distance("camplex", "complex"), 1);    // changed
  EXPECT_EQ(Typing_Distance("tutorail", "tutorial"), 1);  // neighbours swapped
  EXPECT_EQ(Typing_Distance("", "mesa"), 4);
  EXPECT_EQ(Typing_Distance("mesa", ""), 4);
  EXPECT_EQ(Typing_Distance("walls", "wallsflying"), 6);
}

}  // namespace
