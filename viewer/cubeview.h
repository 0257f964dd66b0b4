#pragma once

#include <FL/Fl_Gl_Window.H>

// An OpenGL view with a simple camera: a rotation about the X axis, then one
// about the vertical Y axis, a uniform zoom and a pan in view units. The view
// box is fixed at -10..10 horizontally and vertically whatever the window's
// shape, so one unit of pan is always a twentieth of the view's width or
// height. Subclasses draw their scene in scene coordinates in drawScene().
class CubeView : public Fl_Gl_Window {
 public:
  // Makes no OpenGL call: the GL context only exists once the view is shown.
  CubeView(int x, int y, int w, int h, const char* label = nullptr);
  ~CubeView() override;

  // Called by the toolkit whenever the view must be repainted: sets up the
  // projection after a resize or a new context, clears, applies the camera and
  // hands over to drawScene().
  void draw() override;

  // Draws the scene in scene coordinates, inside the camera transform. Must
  // leave the matrix stack as it found it.
  virtual void drawScene() = 0;

  // Set by the "V Rot" roller of the viewer window (degrees about X).
  void setVRotAngle(float angle);
  // Set by the "H Rotation" roller of the viewer window (degrees about Y).
  void setHRotAngle(float angle);
  // Set by the "H Pan" slider of the viewer window (view units along X).
  void setHPanOffset(float offset);
  // Set by the "V Pan" slider of the viewer window (view units along Y).
  void setVPanOffset(float offset);

  // Uniform scale of the scene, written directly by the viewer window's
  // "Zoom" slider. At 10 the visible square spans scene coordinates -1..1.
  double zoomFactor;

 protected:
  float vRotAngle;   // degrees about the X axis, applied to the scene first
  float hRotAngle;   // degrees about the Y axis, applied after vRotAngle
  float hPanOffset;  // view units along X, applied last (outside the zoom)
  float vPanOffset;  // view units along Y, applied last (outside the zoom)
};
