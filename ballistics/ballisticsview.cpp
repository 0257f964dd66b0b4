#include "ballisticsview.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

#include "integrators.h"

namespace {

// Independent segments between consecutive points (0-1, 1-2, ...), two
// vertices each; fewer than two points give an empty glBegin/glEnd pair.
void drawSegments(const std::vector<Vector3f>& points) {
  glBegin(GL_LINES);
  for (std::size_t i = 0; i + 1 < points.size(); i++) {
    glVertex3f(points[i].x, points[i].y, points[i].z);
    glVertex3f(points[i + 1].x, points[i + 1].y, points[i + 1].z);
  }
  glEnd();
}

}  // namespace

BallisticsView::BallisticsView()
    : CubeView(48, 29, 329, 329, "This is the cube_view"), target(0.0f, 0.0f, 0.0f) {}

BallisticsView::~BallisticsView() = default;

double BallisticsView::simplificationTolerance(int pixels, double zoom) {
  // The box is 20 view units across, and the zoom scales scene units into
  // view units: one pixel is 20 / (pixels·zoom) scene units.
  const double across = std::max(pixels, kLargestViewPixels);
  const double scale = std::max(std::fabs(zoom), kLargestZoom);
  return 0.25 * 20.0 / (across * scale);
}

long BallisticsView::simplifications() const {
  return drawn_[0].rebuilds() + drawn_[1].rebuilds() + drawn_[2].rebuilds();
}

void BallisticsView::drawScene() {
  glPushMatrix();

  // Ground: a grey square of side 20 centred under the gun, 0.001 below the
  // plane y = 0.
  glColor3f(0.7f, 0.7f, 0.7f);
  glBegin(GL_POLYGON);
  glVertex3f(-10, -0.001f, -10);
  glVertex3f(10, -0.001f, -10);
  glVertex3f(10, -0.001f, 10);
  glVertex3f(-10, -0.001f, 10);
  glEnd();

  // Gun at the origin.
  glColor3f(0.7f, 0.7f, 0.0f);
  glutSolidSphere(0.1, 10, 10);

  // Target.
  glColor3f(0.0f, 0.7f, 0.7f);
  glPushMatrix();
  glTranslatef(target.x, target.y, target.z);
  glutSolidSphere(0.1, 10, 10);
  glPopMatrix();

  // The trajectories, one colour per scheme. The views paint without depth
  // testing, so RK4, drawn last, covers the others where they coincide.
  const double tolerance = simplificationTolerance(std::max(w(), h()), zoomFactor);
  auto shown = [&](int scheme, const std::vector<Vector3f>& points) -> const auto& {
    return simplifies ? drawn_[scheme].follow(points, tolerance) : points;
  };
  glColor3f(1.0f, 0.0f, 0.0f);
  drawSegments(shown(Euler, eulerTrajectory));
  glColor3f(0.0f, 1.0f, 0.0f);
  drawSegments(shown(Midpoint, midpointTrajectory));
  glColor3f(0.0f, 0.0f, 1.0f);
  drawSegments(shown(RK4, rk4Trajectory));

  glPopMatrix();
}
