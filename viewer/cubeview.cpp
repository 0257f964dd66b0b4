#include "cubeview.h"

#include <FL/gl.h>

CubeView::CubeView(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label) {
  vRotAngle = 0.0f;
  hRotAngle = 0.0f;
  zoomFactor = 10.0;
  hPanOffset = 0.0f;
  vPanOffset = 0.0f;
}

CubeView::~CubeView() = default;

void CubeView::setVRotAngle(float angle) { vRotAngle = angle; }

void CubeView::setHRotAngle(float angle) { hRotAngle = angle; }

void CubeView::setHPanOffset(float offset) { hPanOffset = offset; }

void CubeView::setVPanOffset(float offset) { vPanOffset = offset; }

void CubeView::draw() {
  if (!valid()) {
    // A new context or a new size: the whole view shows the box -10..10 in x
    // and y; eye-space z from 20050 (nearest) to -10000 is kept. The matrix
    // mode is never changed, so this is the model-view matrix and the
    // projection matrix stays the identity.
    glLoadIdentity();
    glViewport(0, 0, w(), h());
    glOrtho(-10, 10, -10, 10, -20050, 10000);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Depth testing stays off: the scenes are painted in their drawing order,
    // so what a scene draws last (the RK4 trajectory) is what shows where
    // lines coincide, and lines stay visible over the ground from any angle.
  }
  // The clear colour is never set: the background is OpenGL's default black.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // view = box · T(hPan, vPan, 0) · Ry(hRot) · Rx(vRot) · S(zoom) · scene
  glPushMatrix();
  glTranslatef(hPanOffset, vPanOffset, 0);
  glRotatef(hRotAngle, 0, 1, 0);
  glRotatef(vRotAngle, 1, 0, 0);
  const float zoom = static_cast<float>(zoomFactor);
  glScalef(zoom, zoom, zoom);
  drawScene();
  glPopMatrix();
}
