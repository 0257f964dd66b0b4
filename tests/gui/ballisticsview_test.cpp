// The ballistics scene: what it sends to OpenGL (caught in feedback mode)
// and what it paints.

#include "ballisticsview.h"

#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "gui_support.h"

namespace {

using guitest::column;
using guitest::near;
using guitest::row;

// Records the matrix depth and the colour the scene leaves behind.
struct Recorded : BallisticsView {
  GLint depthIn = 0, depthOut = 0;
  GLfloat colourAfter[4] = {};
  void drawScene() override {
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthIn);
    BallisticsView::drawScene();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthOut);
    glGetFloatv(GL_CURRENT_COLOR, colourAfter);
  }
};
using View = guitest::Captured<Recorded>;

struct BallisticsScene : ::testing::Test {
  std::unique_ptr<Fl_Double_Window> window{new Fl_Double_Window(329, 329, "ballistics view")};
  View* view = new View;
  void SetUp() override {
    window->end();
    view->position(0, 0);
  }
  void paint() {
    view->redraw();
    ASSERT_TRUE(guitest::paintOnce(window.get(), view->draws));
  }
  // Window position (from the bottom left) of a scene point seen from above
  // (V Rot 90) at zoom 0.4: x stays x, z runs down the screen.
  static std::pair<double, double> topView(float x, float z) {
    return {(x * 0.04 + 1) / 2 * 329, (-z * 0.04 + 1) / 2 * 329};
  }
};

TEST_F(BallisticsScene, DrawsGroundGunTargetThenEachTrajectoryAsSeparateSegments) {
  view->eulerTrajectory = {{0, 0, 0}, {1, 2, 3}, {2, 1, 6}};
  view->midpointTrajectory = {{5, 5, 5}};  // one point: no segment
  view->rk4Trajectory = {{-3, 0, -3}, {-4, 1, -8}};
  view->target = Vector3f(4, 0, -6);
  view->setVRotAngle(90);
  view->zoomFactor = 0.4;
  view->feedback = true;
  paint();

  const auto& prims = view->primitives;
  ASSERT_FALSE(prims.empty());
  // Ground first: one grey square of side 20 below the gun (OpenGL may hand
  // it back as triangles over the same four corners).
  std::size_t first = 0;
  std::vector<bool> cornerUsed(4);
  const float corners[4][2] = {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}};
  for (; first < prims.size() && prims[first].vertices[0][5] != 0.0f; ++first) {
    ASSERT_EQ(prims[first].token, GL_POLYGON_TOKEN);
    for (const auto& v : prims[first].vertices) {
      EXPECT_NEAR(v[3], 0.7, 1e-6);
      EXPECT_NEAR(v[5], 0.7, 1e-6);
      int corner = 0;
      while (corner < 4 &&
             (std::abs(v[0] - topView(corners[corner][0], corners[corner][1]).first) > 0.01 ||
              std::abs(v[1] - topView(corners[corner][0], corners[corner][1]).second) > 0.01))
        ++corner;
      ASSERT_LT(corner, 4) << "vertex off the ground's corners";
      cornerUsed[corner] = true;
    }
  }
  EXPECT_EQ(cornerUsed, std::vector<bool>(4, true));
  // Then the gun's and the target's facets, each sphere centred on its
  // point, then the lines: red, then blue, one from each point to the next.
  enum Stage { Gun, Target, Red, Blue };
  auto stageOf = [](const guitest::Primitive& p) {
    const auto& c = p.vertices[0];
    if (c[3] == 0.0f && c[4] == 0.0f && c[5] == 1.0f) return Blue;
    if (c[3] == 1.0f && c[4] == 0.0f) return Red;
    return c[3] == 0.0f ? Target : Gun;
  };
  int stage = Gun, facets[2] = {0, 0};
  double sum[2][2] = {};
  std::vector<std::vector<std::vector<GLfloat>>> lines[4];
  for (std::size_t i = first; i < prims.size(); ++i) {
    const Stage s = stageOf(prims[i]);
    ASSERT_GE(s, stage) << "primitive " << i << " out of order";
    stage = s;
    if (s <= Target) {
      EXPECT_EQ(prims[i].token, GL_POLYGON_TOKEN);
      for (const auto& v : prims[i].vertices) {
        ++facets[s];
        sum[s][0] += v[0];
        sum[s][1] += v[1];
      }
    } else {
      EXPECT_TRUE(prims[i].token == GL_LINE_TOKEN || prims[i].token == GL_LINE_RESET_TOKEN);
      lines[s].push_back(prims[i].vertices);
    }
  }
  const std::pair<double, double> centres[2] = {topView(0, 0), topView(4, -6)};
  for (int s : {Gun, Target}) {
    ASSERT_GT(facets[s], 0);
    EXPECT_NEAR(sum[s][0] / facets[s], centres[s].first, 0.2);
    EXPECT_NEAR(sum[s][1] / facets[s], centres[s].second, 0.2);
  }
  const std::vector<Vector3f>* trajectories[4] = {nullptr, nullptr, &view->eulerTrajectory,
                                                  &view->rk4Trajectory};
  for (int s : {Red, Blue}) {
    const auto& points = *trajectories[s];
    ASSERT_EQ(lines[s].size(), points.size() - 1);
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
      for (int end = 0; end < 2; ++end) {
        const auto [x, y] = topView(points[i + end].x, points[i + end].z);
        EXPECT_NEAR(lines[s][i][end][0], x, 0.01);
        EXPECT_NEAR(lines[s][i][end][1], y, 0.01);
      }
  }
  EXPECT_EQ(view->depthIn, 2);
  EXPECT_EQ(view->depthOut, 2);
  EXPECT_EQ(view->colourAfter[2], 1.0f);  // blue stays current
  EXPECT_EQ(view->colourAfter[0], 0.0f);
}

TEST_F(BallisticsScene, PaintsTheSchemesInTheirColoursOverBlack) {
  // Default camera: scene coordinates -1..1 fill the view, seen from the side.
  view->eulerTrajectory = {{-0.8f, 0.5f, 0}, {0, 0.5f, 0}, {0.8f, 0.5f, 0}};
  view->midpointTrajectory = {{0.3f, -0.7f, 0}};
  view->rk4Trajectory = {{-0.6f, -0.8f, 0}, {-0.6f, 0.2f, 0}};
  view->target = Vector3f(0.5f, -0.5f, 0);
  paint();
  const guitest::Frame& f = view->frame;
  auto at = [&](double x, double y) { return f.at(column(x, 329), row(y, 329)); };
  EXPECT_TRUE(near(at(-0.4, 0.5), 1, 0, 0));  // both segments of the red line
  EXPECT_TRUE(near(at(0.4, 0.5), 1, 0, 0));
  EXPECT_TRUE(near(at(-0.6, -0.3), 0, 0, 1));
  EXPECT_TRUE(near(at(0, 0), 0.7f, 0.7f, 0));           // gun
  EXPECT_TRUE(near(at(0.5, -0.5), 0, 0.7f, 0.7f));      // target
  EXPECT_EQ(guitest::findColour(f, 0, 1, 0).count, 0);  // a single point draws nothing
  for (auto [x, y] : {std::pair{-0.9, 0.9}, {0.0, 0.7}, {0.3, -0.7}, {0.0, -0.6}, {0.9, -0.9}})
    EXPECT_TRUE(guitest::isBlack(at(x, y))) << x << "," << y;
}

TEST_F(BallisticsScene, RK4DrawnLastCoversCoincidentTrajectories) {
  const std::vector<Vector3f> line = {{-0.9f, 0.3f, 0}, {0.9f, 0.3f, 0}};
  view->eulerTrajectory = view->midpointTrajectory = view->rk4Trajectory = line;
  paint();
  const guitest::Box blue = guitest::findColour(view->frame, 0, 0, 1);
  EXPECT_GT(blue.count, 250);
  EXPECT_EQ(guitest::findColour(view->frame, 1, 0, 0).count, 0);
  EXPECT_EQ(guitest::findColour(view->frame, 0, 1, 0).count, 0);
}

}  // namespace
