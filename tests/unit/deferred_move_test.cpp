#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "frame/deferred_move.h"

namespace {

constexpr SDL_Point AT{120, 80};
constexpr SDL_Point ELSEWHERE{300, 40};

// One step of what the window system reports to the window.
enum class Step {
  PRESS_STRIP,
  PRESS_STRIP_FOCUSED,
  PRESS_STRIP_MARKED,
  PRESS_BAND,
  RELEASE,
  FOCUS
};

struct Case {
  const char* name;
  std::vector<Step> steps;
  // What each focus in the steps hands over, in order.
  std::vector<std::optional<SDL_Point>> moves;
};

void Apply(frame::DeferredMove& move, Step step, std::vector<std::optional<SDL_Point>>& moves) {
  switch (step) {
    case Step::PRESS_STRIP:
      return move.Press(SDL_HITTEST_DRAGGABLE, false, false, AT);
    case Step::PRESS_STRIP_FOCUSED:
      return move.Press(SDL_HITTEST_DRAGGABLE, true, false, AT);
    case Step::PRESS_STRIP_MARKED:
      return move.Press(SDL_HITTEST_DRAGGABLE, false, true, AT);
    case Step::PRESS_BAND:
      return move.Press(SDL_HITTEST_RESIZE_LEFT, false, false, ELSEWHERE);
    case Step::RELEASE:
      return move.Release();
    case Step::FOCUS:
      moves.push_back(move.Focused());
      return;
  }
}

class DeferredMoveTest : public testing::TestWithParam<Case> {};

TEST_P(DeferredMoveTest, HandsOverOnlyAHeldBackDrag) {
  frame::DeferredMove move;
  std::vector<std::optional<SDL_Point>> moves;
  for (Step step : GetParam().steps) {
    Apply(move, step, moves);
  }
  ASSERT_EQ(moves.size(), GetParam().moves.size());
  for (std::size_t i = 0; i < moves.size(); ++i) {
    EXPECT_EQ(moves[i].has_value(), GetParam().moves[i].has_value()) << "focus " << i;
    if (moves[i] && GetParam().moves[i]) {
      EXPECT_EQ(moves[i]->x, GetParam().moves[i]->x) << "focus " << i;
      EXPECT_EQ(moves[i]->y, GetParam().moves[i]->y) << "focus " << i;
    }
  }
}

using S = Step;
INSTANTIATE_TEST_SUITE_P(
    Steps, DeferredMoveTest,
    testing::Values(
        Case{"StripOfAWindowWithoutFocus", {S::PRESS_STRIP, S::FOCUS}, {AT}},
        Case{"OnceOnly", {S::PRESS_STRIP, S::FOCUS, S::FOCUS}, {AT, std::nullopt}},
        Case{"LibraryMovesAFocusedWindow", {S::PRESS_STRIP_FOCUSED, S::FOCUS}, {std::nullopt}},
        Case{"LibraryWaitsForTheMark", {S::PRESS_STRIP_MARKED, S::FOCUS}, {std::nullopt}},
        Case{"BandsResizeAtThePress", {S::PRESS_BAND, S::FOCUS}, {std::nullopt}},
        Case{"NothingAfterTheRelease", {S::PRESS_STRIP, S::RELEASE, S::FOCUS}, {std::nullopt}},
        Case{"FocusBeforeThePress", {S::FOCUS, S::PRESS_STRIP, S::FOCUS}, {std::nullopt, AT}},
        Case{"ALaterPressReplacesIt", {S::PRESS_STRIP, S::PRESS_BAND, S::FOCUS}, {std::nullopt}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
