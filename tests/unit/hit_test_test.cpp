#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "frame/hit_regions.h"
#include "frame/hit_test.h"

namespace {

constexpr SDL_HitTestResult NORMAL = SDL_HITTEST_NORMAL;
constexpr SDL_HitTestResult DRAG = SDL_HITTEST_DRAGGABLE;
constexpr SDL_HitTestResult TL = SDL_HITTEST_RESIZE_TOPLEFT;
constexpr SDL_HitTestResult T = SDL_HITTEST_RESIZE_TOP;
constexpr SDL_HitTestResult TR = SDL_HITTEST_RESIZE_TOPRIGHT;
constexpr SDL_HitTestResult R = SDL_HITTEST_RESIZE_RIGHT;
constexpr SDL_HitTestResult BR = SDL_HITTEST_RESIZE_BOTTOMRIGHT;
constexpr SDL_HitTestResult B = SDL_HITTEST_RESIZE_BOTTOM;
constexpr SDL_HitTestResult BL = SDL_HITTEST_RESIZE_BOTTOMLEFT;
constexpr SDL_HitTestResult L = SDL_HITTEST_RESIZE_LEFT;

struct PointCase {
  std::int32_t x, y, w, h;
  SDL_HitTestResult expected;
};

class ClassifyPointTest : public testing::TestWithParam<PointCase> {};

TEST_P(ClassifyPointTest, FindsTheRegion) {
  const PointCase& c = GetParam();
  EXPECT_EQ(frame::ClassifyPoint(c.x, c.y, c.w, c.h), c.expected)
      << "(" << c.x << "," << c.y << ") in " << c.w << "x" << c.h;
}

INSTANTIATE_TEST_SUITE_P(
    BandEdges, ClassifyPointTest,
    testing::Values(PointCase{15, 16, 640, 480, L}, PointCase{16, 15, 640, 480, T},
                    PointCase{16, 16, 640, 480, DRAG}, PointCase{16, 99, 640, 480, DRAG},
                    PointCase{16, 100, 640, 480, NORMAL}, PointCase{624, 50, 640, 480, DRAG},
                    PointCase{625, 50, 640, 480, R}, PointCase{639, 300, 640, 480, R},
                    PointCase{320, 464, 640, 480, NORMAL}, PointCase{320, 465, 640, 480, B},
                    PointCase{320, 0, 640, 480, T}, PointCase{0, 240, 640, 480, L}));

INSTANTIATE_TEST_SUITE_P(
    Corners, ClassifyPointTest,
    testing::Values(PointCase{0, 0, 640, 480, TL}, PointCase{15, 15, 640, 480, TL},
                    PointCase{625, 15, 640, 480, TR}, PointCase{639, 0, 640, 480, TR},
                    PointCase{15, 465, 640, 480, BL}, PointCase{0, 479, 640, 480, BL},
                    PointCase{625, 465, 640, 480, BR}, PointCase{639, 479, 640, 480, BR},
                    PointCase{16, 465, 640, 480, B}, PointCase{625, 16, 640, 480, R}));

// Points outside the window (a grab that strays) still belong to the nearest bands.
INSTANTIATE_TEST_SUITE_P(
    OutsideTheWindow, ClassifyPointTest,
    testing::Values(PointCase{-5, 200, 640, 480, L}, PointCase{200, -5, 640, 480, T},
                    PointCase{-5, -5, 640, 480, TL}, PointCase{700, 200, 640, 480, R},
                    PointCase{200, 900, 640, 480, B}, PointCase{700, 900, 640, 480, BR}));

// Narrow and low windows: where bands overlap, left and top win; every band
// wins over the drag strip.
INSTANTIATE_TEST_SUITE_P(
    SmallWindows, ClassifyPointTest,
    testing::Values(PointCase{15, 50, 30, 480, L}, PointCase{15, 50, 31, 480, L},
                    PointCase{16, 50, 31, 480, R}, PointCase{15, 5, 30, 480, TL},
                    PointCase{15, 470, 30, 480, BL}, PointCase{300, 15, 640, 30, T},
                    PointCase{300, 15, 640, 31, T}, PointCase{300, 16, 640, 31, B},
                    PointCase{300, 94, 640, 110, DRAG}, PointCase{300, 95, 640, 110, B},
                    PointCase{300, 99, 640, 110, B}, PointCase{300, 99, 640, 114, B},
                    PointCase{300, 98, 640, 114, DRAG}, PointCase{300, 99, 640, 115, DRAG},
                    PointCase{0, 0, 0, 0, TL}, PointCase{5, 5, 1, 1, TL}));

// Sizes and points at the ends of the range, where a 32-bit w - 16 would overflow.
INSTANTIATE_TEST_SUITE_P(Extremes, ClassifyPointTest,
                         testing::Values(PointCase{INT_MAX, 200, INT_MIN, 480, R},
                                         PointCase{100, 200, INT_MIN, 480, R},
                                         PointCase{INT_MIN, 200, 640, 480, L},
                                         PointCase{INT_MAX, 200, INT_MAX, 480, R},
                                         PointCase{INT_MAX - 16, 200, INT_MAX, 480, NORMAL},
                                         PointCase{200, INT_MAX, 640, INT_MAX, B},
                                         PointCase{200, 50, INT_MAX, INT_MAX, DRAG},
                                         PointCase{INT_MIN, INT_MIN, INT_MIN, INT_MIN, TL}));

TEST(HitTest, AFailedSizeQueryMakesEveryPointOrdinary) {
  const SDL_Point corner{0, 0};
  EXPECT_EQ(frame::HitTest(nullptr, &corner, nullptr), SDL_HITTEST_NORMAL);
}

}  // namespace
