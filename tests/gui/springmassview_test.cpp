// The spring-mass scene at a playback position: the heights it draws
// (caught in feedback mode), positions outside the trajectory, and pixels.

#include "springmassview.h"

#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "gui_support.h"

namespace {

using View = guitest::Captured<SpringMassView>;

struct SpringMassScene : ::testing::Test {
  std::unique_ptr<Fl_Double_Window> window{new Fl_Double_Window(329, 329, "spring-mass view")};
  View* view = new View;
  void SetUp() override {
    window->end();
    view->position(0, 0);
  }
  void paint() {
    view->redraw();
    ASSERT_TRUE(guitest::paintOnce(window.get(), view->draws));
  }
  // Scene height of a window row (from the bottom) at zoom 1.
  static double sceneY(double windowY) { return (windowY / 329 * 2 - 1) * 10; }
};

TEST_F(SpringMassScene, DrawsTheBarAndTheBodyAtTheInterpolatedHeight) {
  // 100 samples falling by 0.01 each: sample i is at -0.5 - 0.01·i.
  for (int i = 0; i < 100; ++i) view->trajectory.push_back(-0.5f - 0.01f * i);
  view->zoomFactor = 1;
  view->feedback = true;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float position;
    bool drawn;
    double height;
  };
  const Case cases[] = {
      {0, true, -0.5},    {50, true, -1.0},    {98.5f, true, -1.485}, {1.25f, true, -0.5125},
      {99, false, 0},     {100, false, 0},     {1e30f, false, 0},     {inf, false, 0},
      {nan, false, 0},    {-0.5f, true, -0.5}, {-5, true, -0.5},      {-1e30f, true, -0.5},
      {-inf, true, -0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    view->framePosition = c.position;
    paint();
    const auto& prims = view->primitives;
    if (!c.drawn) {
      EXPECT_TRUE(prims.empty());
      continue;
    }
    // The bar (drawn first) from the anchor at 0.5 down to the body, 0.2
    // wide; then the body, 0.4 wide and 0.2 high. OpenGL may hand each
    // polygon back as triangles: compare their extents.
    struct Extent {
      double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
      int primitives = 0;
    } bar, body;
    bool bodyStarted = false;
    for (const auto& p : prims) {
      const auto& c = p.vertices[0];
      const bool isBar = std::abs(c[3] - 0.9) < 1e-6 && std::abs(c[4] - 0.1) < 1e-6 && c[5] == 0;
      const bool isBody = c[3] == 0 && std::abs(c[4] - 0.1) < 1e-6 && std::abs(c[5] - 0.9) < 1e-6;
      ASSERT_TRUE(isBar || isBody);
      ASSERT_FALSE(isBar && bodyStarted) << "the bar is drawn before the body";
      bodyStarted = isBody;
      Extent& e = isBar ? bar : body;
      ++e.primitives;
      for (const auto& v : p.vertices) {
        e.left = std::min(e.left, sceneY(v[0]));  // x maps like y in a square view
        e.right = std::max(e.right, sceneY(v[0]));
        e.bottom = std::min(e.bottom, sceneY(v[1]));
        e.top = std::max(e.top, sceneY(v[1]));
      }
    }
    ASSERT_GT(bar.primitives, 0);
    ASSERT_GT(body.primitives, 0);
    EXPECT_NEAR(bar.top, 0.5, 1e-4);
    EXPECT_NEAR(bar.bottom, c.height + 0.5, 1e-4);
    EXPECT_NEAR(bar.right - bar.left, 0.2, 1e-4);
    EXPECT_NEAR(body.top, c.height + 0.5, 1e-4);
    EXPECT_NEAR(body.bottom, c.height + 0.3, 1e-4);
    EXPECT_NEAR(body.right - body.left, 0.4, 1e-4);
  }
}

TEST_F(SpringMassScene, ListsOfFewerThanTwoSamplesDrawNothing) {
  view->feedback = true;
  for (std::vector<float> samples : {std::vector<float>{}, std::vector<float>{-1}}) {
    view->trajectory = samples;
    view->framePosition = 0;
    paint();
    EXPECT_TRUE(view->primitives.empty());
  }
}

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
