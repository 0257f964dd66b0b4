// Fine flights drawn through their simplified copies against the same
// flights drawn point for point: the pictures agree along the curves at every
// camera, and the copies follow recomputations, scheme toggles and zooms.

#include <gtest/gtest.h>

#include <string>

#include "ballisticssim.h"
#include "ballisticsview.h"
#include "gui_support.h"
#include "startup_flight.h"

namespace {

using guitest::Frame;

struct Switchable : BallisticsView {
  void drawEveryPoint(bool on) { simplifies = !on; }
};

// Which trajectory colour a pixel shows: 0 red, 1 green, 2 blue, -1 none.
int curveColour(guitest::Rgb c) {
  if (guitest::near(c, 1, 0, 0)) return 0;
  if (guitest::near(c, 0, 1, 0)) return 1;
  if (guitest::near(c, 0, 0, 1)) return 2;
  return -1;
}

struct Comparison {
  int curvePixels = 0;  // in the full picture
  int differing = 0;    // pixels whose curve colour differs between the two
  // Curve pixels of one picture with no pixel of their colour (or of a curve
  // drawn later, which covers it) within one pixel in the other picture.
  int unmatched = 0;
};

// How far `b` is from `a` along the curves.
Comparison compare(const Frame& a, const Frame& b) {
  Comparison result;
  auto hasNear = [](const Frame& f, int x, int y, int colour) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int u = x + dx, v = y + dy;
        if (u >= 0 && v >= 0 && u < f.width && v < f.height && curveColour(f.at(u, v)) >= colour)
          return true;
      }
    return false;
  };
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const int ca = curveColour(a.at(x, y)), cb = curveColour(b.at(x, y));
      if (ca >= 0) ++result.curvePixels;
      if (ca == cb) continue;
      ++result.differing;
      if ((ca >= 0 && !hasNear(b, x, y, ca)) || (cb >= 0 && !hasNear(a, x, y, cb)))
        ++result.unmatched;
    }
  return result;
}

class SimplifiedScene : public guitest::SceneTest<Switchable> {
 protected:
  static void SetUpTestSuite() {
    // Aimed apart (-10, 0 and 10 degrees), so that every colour shows.
    for (int scheme : {Euler, Midpoint, RK4})
      fine[scheme] = startUpFlight(scheme, 1e-5f, 0.17453292f * float(scheme - 1));
  }
  void showFineFlights() {
    view->eulerTrajectory = fine[Euler];
    view->midpointTrajectory = fine[Midpoint];
    view->rk4Trajectory = fine[RK4];
    view->target = Vector3f(0, 0, 10);
  }
  // The picture with and without simplification at the current camera.
  Comparison paintBoth() {
    view->drawEveryPoint(true);
    paint();
    const Frame full = view->frame;
    view->drawEveryPoint(false);
    paint();
    return compare(full, view->frame);
  }
  static std::vector<Vector3f> fine[3];
};
std::vector<Vector3f> SimplifiedScene::fine[3];

struct Camera {
  double zoom;
  float vRot, hRot, hPan, vPan;
};

void aim(BallisticsView* view, const Camera& c) {
  view->zoomFactor = c.zoom;
  view->setVRotAngle(c.vRot);
  view->setHRotAngle(c.hRot);
  view->setHPanOffset(c.hPan);
  view->setVPanOffset(c.vPan);
}

// The bound tested: the dropped points lie within a quarter pixel of the
// drawn lines at the finest zoom of a 4096-pixel view, a fiftieth of a pixel
// here, so only a few pixels may change where the rasteriser rounds a
// segment end differently: at most 2 pixels and 2% of the curves' pixels,
// each beside a pixel of its curve in the other picture.
void expectAlike(const Comparison& d, const std::string& where) {
  EXPECT_GE(d.curvePixels, 10) << where;                    // the curves are in view
  EXPECT_LE(d.differing, 2 + d.curvePixels / 50) << where;  // 2 pixels and 2% differ at most
  EXPECT_EQ(d.unmatched, 0) << where;                       // and none breaks a curve
}

std::string describe(const Camera& c) {
  return "zoom " + std::to_string(c.zoom) + " rotations " + std::to_string(c.vRot) + ", " +
         std::to_string(c.hRot) + " pans " + std::to_string(c.hPan) + ", " + std::to_string(c.vPan);
}

const Camera kCameras[] = {{10, 0, 0, 0, 0},   {10, 30, -60, 3, -8},  {10, 0, 90, -6, -10},
                           {1, 0, -60, 0, -5}, {1, -40, 150, 2, 0},   {0.5, 20, -60, 0, 0},
                           {0.1, 90, 0, 0, 0}, {0.1, 10, -120, 5, 5}, {3, 60, 33, 0, -8}};

TEST_F(SimplifiedScene, FineFlightsLookTheSameAtEveryZoomRotationAndPan) {
  showFineFlights();
  for (const Camera& c : kCameras) {
    aim(view, c);
    expectAlike(paintBoth(), describe(c));
  }
  // One simplification per flight served every camera.
  EXPECT_EQ(view->simplifications(), 3);
}

TEST_F(SimplifiedScene, AMillionPointFlightLooksTheSame) {
  view->rk4Trajectory = startUpFlight(RK4, 1e-6f);
  ASSERT_GT(view->rk4Trajectory.size(), 1400000u);
  for (const Camera& c : {kCameras[1], kCameras[4], kCameras[6]}) {
    aim(view, c);
    expectAlike(paintBoth(), describe(c));
  }
}

TEST_F(SimplifiedScene, CopiesFollowRecomputationsTogglesAndZoom) {
  showFineFlights();
  aim(view, kCameras[5]);
  expectAlike(paintBoth(), "first");
  EXPECT_EQ(view->simplifications(), 3);

  // A recomputation aimed elsewhere: the same number of points, written over
  // the old ones as the application does.
  const std::vector<Vector3f> turned = startUpFlight(Euler, 1e-5f, 0.5f);
  ASSERT_EQ(turned.size(), view->eulerTrajectory.size());
  const Vector3f* storage = view->eulerTrajectory.data();
  view->eulerTrajectory = turned;
  ASSERT_EQ(view->eulerTrajectory.data(), storage);
  expectAlike(paintBoth(), "recomputed");
  EXPECT_EQ(view->simplifications(), 4);

  // Midpoint switched off and on again.
  view->midpointTrajectory.clear();
  paint();
  EXPECT_EQ(guitest::findColour(view->frame, 0, 1, 0).count, 0);
  view->midpointTrajectory = fine[Midpoint];
  expectAlike(paintBoth(), "midpoint back");
  EXPECT_GT(guitest::findColour(view->frame, 0, 1, 0).count, 20);
  EXPECT_EQ(view->simplifications(), 6);

  // Zooming within the viewer window's range keeps the copies (see
  // FineFlightsLookTheSameAtEveryZoomRotationAndPan); zooming further in than
  // it (or a view larger than a 4K screen) needs finer ones.
  aim(view, {40, 0, -90, 0, -10});
  expectAlike(paintBoth(), "zoom 40");
  EXPECT_EQ(view->simplifications(), 9);
}

}  // namespace
