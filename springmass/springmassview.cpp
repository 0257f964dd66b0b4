#include "springmassview.h"

#include <GL/freeglut.h>

SpringMassView::SpringMassView()
    : CubeView(48, 29, 329, 329, "This is the cube_view"), framePosition(0.0f) {}

SpringMassView::~SpringMassView() = default;

void SpringMassView::drawScene() {
  const std::size_t n = trajectory.size();
  // Nothing to show at or beyond the last sample (which covers an empty list)
  // or at a NaN position. Comparing before converting keeps a huge or NaN
  // position from ever reaching the integer conversion.
  if (n < 2 || !(static_cast<double>(framePosition) < static_cast<double>(n - 1))) return;
  // A position before the first sample (a playback run backwards) shows the
  // first sample rather than extrapolating past it.
  const float position = framePosition < 0.0f ? 0.0f : framePosition;

  // Linear interpolation between the samples around the position.
  const std::size_t b = static_cast<std::size_t>(position);
  const float fraction = position - static_cast<float>(b);
  const float h = trajectory[b] + (trajectory[b + 1] - trajectory[b]) * fraction;

  glPushMatrix();
  glTranslatef(0, 0.5f, 0);  // the spring's anchor

  // Spring: a bar 0.2 wide from the anchor down to the body.
  glColor3f(0.9f, 0.1f, 0.0f);
  glBegin(GL_POLYGON);
  glVertex3f(-0.1f, 0, 0);
  glVertex3f(-0.1f, h, 0);
  glVertex3f(0.1f, h, 0);
  glVertex3f(0.1f, 0, 0);
  glEnd();

  // Body: a block 0.4 wide and 0.2 high hanging from height h.
  glColor3f(0.0f, 0.1f, 0.9f);
  glBegin(GL_POLYGON);
  glVertex3f(-0.2f, h, 0);
  glVertex3f(-0.2f, h - 0.2f, 0);
  glVertex3f(0.2f, h - 0.2f, 0);
  glVertex3f(0.2f, h, 0);
  glEnd();

  glPopMatrix();
}
