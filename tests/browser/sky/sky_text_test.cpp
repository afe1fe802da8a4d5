// The sky part of the status line, worked by hand from the sexagesimal forms.
#include <gtest/gtest.h>

#include "browser/sky/sky_position.h"

namespace kivrel {
namespace {

TEST(SkyText, NothingWithoutAWidth) {
  EXPECT_EQ(SkyText(SkyPosition{'T', 13.5, 47.2, 0}), "");
}

TEST(SkyText, LetterPositionAndWidthInTheirPlaces) {
  // 13.5 h = 13h30m00.0s; 47.2 degrees = +47°12'00"; 0.1 degree = +00°06'00".
  EXPECT_EQ(SkyText(SkyPosition{'T', 13.5, 47.2, 0.1}),
            " T ar: 13h30m00.0s de:+47°12'00\" l:+00°06'00\"");
  // Hours below 10 take a second blank; the south shows its sign.
  EXPECT_EQ(SkyText(SkyPosition{'A', 5.25, -30.5, 2}),
            " A ar:  5h15m00.0s de:-30°30'00\" l:+02°00'00\"");
}

}  // namespace
}  // namespace kivrel
