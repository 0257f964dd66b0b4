#include "ballisticsview.h"

#include <GL/freeglut.h>

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
  glColor3f(1.0f, 0.0f, 0.0f);
  drawSegments(eulerTrajectory);
  glColor3f(0.0f, 1.0f, 0.0f);
  drawSegments(midpointTrajectory);
  glColor3f(0.0f, 0.0f, 1.0f);
  drawSegments(rk4Trajectory);

  glPopMatrix();
}
