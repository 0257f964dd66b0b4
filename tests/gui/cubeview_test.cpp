// CubeView's projection and camera, checked against the matrix product
// worked out by hand and against where points land in the painted picture.

#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "gui_support.h"
#include "viewerwindow.h"

namespace {

using guitest::Captured;
using guitest::column;
using guitest::paintOnce;
using guitest::row;

struct Marker {
  float x, y, z, r, g, b;
};

// Draws square markers of a fixed size on screen (three orthogonal squares,
// so at least one faces the viewer after any axis-aligned turn) and an
// optional white disc, and records the GL state the scene finds.
struct MarkerView : CubeView {
  MarkerView(int w, int h) : CubeView(0, 0, w, h, "markers") {}
  std::vector<Marker> markers;
  float discRadius = 0.0f;
  std::array<GLdouble, 16> modelview{}, projection{};
  std::array<GLint, 4> viewport{};
  GLint stackDepth = 0, stackDepthAfter = 0, blendSrc = 0, blendDst = 0;
  GLboolean blend = GL_FALSE, depthTest = GL_TRUE;

  void setCamera(float vRot, float hRot, float hPan, float vPan, double zoom) {
    setVRotAngle(vRot);
    setHRotAngle(hRot);
    setHPanOffset(hPan);
    setVPanOffset(vPan);
    zoomFactor = zoom;
  }
  float vRot() const { return vRotAngle; }
  float hRot() const { return hRotAngle; }
  float hPan() const { return hPanOffset; }
  float vPan() const { return vPanOffset; }

  void drawScene() override {
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    glGetIntegerv(GL_BLEND_DST, &blendDst);
    blend = glIsEnabled(GL_BLEND);
    depthTest = glIsEnabled(GL_DEPTH_TEST);
    const float s = float(0.4 / zoomFactor);  // 0.4 view units = 6.6 px at 329 px
    for (const Marker& m : markers) {
      glColor3f(m.r, m.g, m.b);
      const float c[3] = {m.x, m.y, m.z};
      for (int axis = 0; axis < 3; ++axis) {  // the square with this axis as normal
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        glBegin(GL_POLYGON);
        for (auto [du, dv] : {std::pair{-s, -s}, {s, -s}, {s, s}, {-s, s}}) {
          float p[3] = {c[0], c[1], c[2]};
          p[u] += du;
          p[v] += dv;
          glVertex3fv(p);
        }
        glEnd();
      }
    }
    if (discRadius > 0) {
      glColor3f(1, 1, 1);
      glBegin(GL_POLYGON);
      for (int i = 0; i < 360; ++i)
        glVertex3f(discRadius * std::cos(i * M_PI / 180), discRadius * std::sin(i * M_PI / 180), 0);
      glEnd();
    }
  }
  void draw() override {
    CubeView::draw();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepthAfter);
  }
};

using View = Captured<MarkerView>;

// A window holding only the view, so that view pixels are window pixels.
struct Shown {
  std::unique_ptr<Fl_Double_Window> window;
  View* view;
  Shown(int w, int h) : window(new Fl_Double_Window(w, h, "cubeview test")) {
    view = new View(w, h);
    window->end();
  }
  bool paint() {
    view->redraw();
    return paintOnce(window.get(), view->draws);
  }
};

using Mat = std::array<double, 16>;  // column-major, as OpenGL keeps it
Mat multiply(const Mat& a, const Mat& b) {
  Mat c{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) c[j * 4 + i] += a[k * 4 + i] * b[j * 4 + k];
  return c;
}
Mat identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

TEST(CubeViewDraw, HandsTheSceneTheBoxTimesTheCameraWithBlendingOn) {
  Shown s(329, 329);
  s.view->setCamera(30, -50, 3, -2, 2.5);
  ASSERT_TRUE(s.paint());
  const double pi = std::acos(-1.0), a = 30 * pi / 180, b = -50 * pi / 180;
  // glOrtho(-10, 10, -10, 10, -20050, 10000): z' = -2z/30050 - (10000-20050)/30050
  Mat box = identity();
  box[0] = box[5] = 0.1;
  box[10] = -2.0 / 30050;
  box[14] = 10050.0 / 30050;
  Mat pan = identity();
  pan[12] = 3;
  pan[13] = -2;
  Mat aboutY = identity();
  aboutY[0] = aboutY[10] = std::cos(b);
  aboutY[8] = std::sin(b);
  aboutY[2] = -std::sin(b);
  Mat aboutX = identity();
  aboutX[5] = aboutX[10] = std::cos(a);
  aboutX[6] = std::sin(a);
  aboutX[9] = -std::sin(a);
  Mat zoom = identity();
  zoom[0] = zoom[5] = zoom[10] = 2.5;
  const Mat expected = multiply(multiply(multiply(multiply(box, pan), aboutY), aboutX), zoom);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(s.view->modelview[i], expected[i], 1e-6) << i;
  EXPECT_EQ(s.view->projection, identity());
  EXPECT_EQ(s.view->viewport, (std::array<GLint, 4>{0, 0, 329, 329}));
  EXPECT_EQ(s.view->stackDepth, 2);       // one level pushed for the scene...
  EXPECT_EQ(s.view->stackDepthAfter, 1);  // ...and popped after it
  EXPECT_TRUE(s.view->blend);
  EXPECT_EQ(s.view->blendSrc, GL_SRC_ALPHA);
  EXPECT_EQ(s.view->blendDst, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_FALSE(s.view->depthTest);
}

TEST(CubeViewCamera, TurningXThenYPutsTheUpAxisOnTheRightEdgeOverABlackBackground) {
  Shown s(329, 329);
  s.view->markers = {{0, 1, 0, 0, 1, 0}};
  s.view->setCamera(90, 90, 0, 0, 10);
  ASSERT_TRUE(s.paint());
  const guitest::Box green = guitest::findColour(s.view->frame, 0, 1, 0);
  ASSERT_GT(green.count, 0);
  EXPECT_EQ(green.right, 328);
  EXPECT_NEAR((green.top + green.bottom) / 2.0, 164, 1.0);
  EXPECT_GT(green.left, 320);  // half the marker lies beyond the edge
  int black = 0;
  for (int y = 0; y < 329; ++y)
    for (int x = 0; x < 329; ++x) black += guitest::isBlack(s.view->frame.at(x, y));
  EXPECT_EQ(black + green.count, 329 * 329);
}

TEST(CubeViewCamera, TenUnitsOfHorizontalPanPutTheOriginOnTheRightEdgeAtEveryZoom) {
  Shown s(329, 329);
  s.view->markers = {{0, 0, 0, 1, 0, 0}};
  for (double zoom : {0.1, 1.0, 4.2, 10.0}) {
    SCOPED_TRACE(zoom);
    s.view->setCamera(0, 0, 10, 0, zoom);
    ASSERT_TRUE(s.paint());
    const guitest::Box red = guitest::findColour(s.view->frame, 1, 0, 0);
    ASSERT_GT(red.count, 0);
    EXPECT_EQ(red.right, 328);
    EXPECT_GT(red.left, 320);
    EXPECT_NEAR((red.top + red.bottom) / 2.0, 164, 1.0);
  }
}

TEST(CubeViewCamera, AWideViewStretchesACircleIntoAnEllipseTwiceAsWideAsHigh) {
  Shown s(700, 400);
  s.view->discRadius = 0.5f;  // 5 view units at zoom 10
  ASSERT_TRUE(s.paint());
  s.view->resize(0, 0, 600, 300);
  ASSERT_TRUE(s.paint());
  EXPECT_EQ(s.view->viewport, (std::array<GLint, 4>{0, 0, 600, 300}));
  const guitest::Box disc = guitest::findColour(s.view->frame, 1, 1, 1);
  EXPECT_NEAR(disc.right - disc.left + 1, 300, 2);
  EXPECT_NEAR(disc.bottom - disc.top + 1, 150, 2);
  EXPECT_NEAR((disc.left + disc.right) / 2.0, 299.5, 1.0);
}

TEST(CubeViewCamera, EachViewerControlMovesItsFieldAndRepaints) {
  View* view = new View(329, 329);
  ViewerWindow viewer(view);
  std::unique_ptr<Fl_Double_Window> owner(viewer.topWindow);
  char name[] = "test";
  char* argv[] = {name, nullptr};
  viewer.show(1, argv);
  ASSERT_TRUE(paintOnce(viewer.topWindow, view->draws));
  for (int i = 0; i < 10; ++i) Fl::wait(0.01);

  struct Step {
    Fl_Valuator* control;
    double value;
  };
  for (Step step :
       {Step{viewer.vRotRoller, 45}, Step{viewer.vPanSlider, -3.5}, Step{viewer.hPanSlider, 7.2},
        Step{viewer.hRotRoller, -120}, Step{viewer.zoomSlider, 2.25}}) {
    SCOPED_TRACE(step.control->label());
    const int before = view->draws;
    step.control->value(step.value);
    step.control->do_callback();
    EXPECT_TRUE(paintOnce(viewer.topWindow, view->draws));
    EXPECT_GT(view->draws, before);
  }
  EXPECT_EQ(view->vRot(), 45.0f);  // each control set its own field only
  EXPECT_EQ(view->vPan(), -3.5f);
  EXPECT_EQ(view->hPan(), 7.2f);
  EXPECT_EQ(view->hRot(), -120.0f);
  EXPECT_EQ(view->zoomFactor, 2.25);

  // A setter alone does not repaint.
  const int before = view->draws;
  view->setVRotAngle(10);
  for (int i = 0; i < 10; ++i) Fl::wait(0.01);
  EXPECT_EQ(view->draws, before);
}

}  // namespace
