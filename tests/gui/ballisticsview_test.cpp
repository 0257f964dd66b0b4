// The ballistics scene as painted: where the camera puts its parts, the
// scheme colours, and RK4 on top.

#include "ballisticsview.h"

#include <gtest/gtest.h>

#include "gui_support.h"

namespace {

using guitest::near;

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
struct BallisticsScene : guitest::SceneTest<Recorded> {
  // Window position (from the bottom left) of a scene point seen from above
  // (V Rot 90) at zoom 0.4: x stays x, z runs down the screen.
  static std::pair<double, double> topView(float x, float z) {
    return {(x * 0.04 + 1) / 2 * 329, (-z * 0.04 + 1) / 2 * 329};
  }
};

TEST_F(BallisticsScene, SeenFromAboveGroundTargetAndSegmentsLieWhereTheCameraPutsThem) {
  view->eulerTrajectory = {{0, 0, 0}, {1, 2, 3}, {2, 1, 6}};
  view->midpointTrajectory = {{5, 5, 5}};
  view->rk4Trajectory = {{-3, 0, -3}, {-4, 1, -8}};
  view->target = Vector3f(4, 0, -6);
  view->setVRotAngle(90);
  view->zoomFactor = 0.4;
  paint();

  // The ground square, side 20, spans 98.7 to 230.3 pixels across and down:
  // the pixels whose centres lie inside are 99 to 229.
  const guitest::Box ground = guitest::findColour(view->frame, 0.7f, 0.7f, 0.7f);
  EXPECT_EQ(ground.left, 99);
  EXPECT_EQ(ground.right, 229);
  EXPECT_EQ(ground.top, 99);
  EXPECT_EQ(ground.bottom, 229);
  auto at = [&](float x, float z) {
    const auto [wx, wy] = topView(x, z);
    return view->frame.at(int(wx), 328 - int(wy));
  };
  EXPECT_TRUE(near(at(4, -6), 0, 0.7f, 0.7f));  // target, over the ground
  for (auto [x, z] : {std::pair{0.5f, 1.5f}, {1.5f, 4.5f}}) EXPECT_TRUE(near(at(x, z), 1, 0, 0));
  EXPECT_TRUE(near(at(-3.5f, -5.5f), 0, 0, 1));
  EXPECT_TRUE(near(at(-0.5f, 4.5f), 0.7f, 0.7f, 0.7f));  // no segment back to the start
  EXPECT_EQ(guitest::findColour(view->frame, 0, 1, 0).count, 0);
  EXPECT_EQ(view->depthIn, 2);
  EXPECT_EQ(view->depthOut, 2);  // the matrix stack as the scene found it
  EXPECT_EQ(view->colourAfter[0], 0.0f);
  EXPECT_EQ(view->colourAfter[2], 1.0f);  // blue stays current
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
