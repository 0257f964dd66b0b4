// The spring-mass scene as painted: the bar and the body at a known height.

#include "springmassview.h"

#include <gtest/gtest.h>

#include "gui_support.h"

namespace {

using SpringMassScene = guitest::SceneTest<SpringMassView>;

TEST_F(SpringMassScene, BodyAtRestLengthHangsOneBelowTheAnchor) {
  // h = -1 at the default zoom 10: the bar spans y 0.5 to -0.5, the body -0.5
  // to -0.7; the bar is 0.2 wide, the body 0.4.
  view->trajectory = {-1, -1};
  paint();
  auto at = [&](double x, double y) {
    return view->frame.at(guitest::column(x, 329), guitest::row(y, 329));
  };
  EXPECT_TRUE(guitest::near(at(0, 0.45), 0.9f, 0.1f, 0));
  EXPECT_TRUE(guitest::near(at(0.08, -0.45), 0.9f, 0.1f, 0));
  EXPECT_TRUE(guitest::near(at(0, -0.55), 0, 0.1f, 0.9f));
  EXPECT_TRUE(guitest::near(at(0.18, -0.65), 0, 0.1f, 0.9f));
  for (auto [x, y] : {std::pair{0.0, 0.55}, {0.0, -0.75}, {0.12, 0.0}, {0.22, -0.6}})
    EXPECT_TRUE(guitest::isBlack(at(x, y))) << x << "," << y;
}

}  // namespace
