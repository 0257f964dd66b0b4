#pragma once

// Helpers for the tests that show views on a (virtual) display: the picture a
// view painted, read from its back buffer at the end of draw(), and the
// primitives it sent to OpenGL, caught in feedback mode.

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>

#include <vector>

namespace guitest {

struct Rgb {
  int r, g, b;
};

// Pixels of one repaint; row 0 is the top row, as on screen.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  Rgb at(int x, int yFromTop) const;
};

// True when every channel is within 3 of (r, g, b) given in 0..1.
bool near(Rgb c, float r, float g, float b);
bool isBlack(Rgb c);

// Pixel column/row (from the top) of a point in normalised view coordinates.
int column(double ndcX, int width);
int row(double ndcY, int height);

// Bounding box of the pixels of one colour; empty when count is 0.
struct Box {
  int count = 0, left = 0, right = -1, top = 0, bottom = -1;
};
Box findColour(const Frame& f, float r, float g, float b);

// One primitive from feedback mode: its token, and per vertex the window
// position and colour.
struct Primitive {
  GLfloat token;
  std::vector<std::vector<GLfloat>> vertices;  // x, y, z, r, g, b, a
};

Frame readBackBuffer(int width, int height);
std::vector<Primitive> parseFeedback(const std::vector<GLfloat>& buffer, GLint used);

// A view that keeps the picture of its last repaint (and, on request, the
// primitives it drew) and counts its repaints.
template <class View>
class Captured : public View {
 public:
  using View::View;
  Frame frame;
  std::vector<Primitive> primitives;
  bool feedback = false;
  int draws = 0;

  void draw() override {
    if (feedback) {
      std::vector<GLfloat> buffer(1 << 20);
      glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
      glRenderMode(GL_FEEDBACK);
      View::draw();
      primitives = parseFeedback(buffer, glRenderMode(GL_RENDER));
    }
    View::draw();
    frame = readBackBuffer(this->w(), this->h());
    ++draws;
  }
};

// Shows the window (if needed) and handles events until `draws` has grown,
// at most a few seconds; returns false when no repaint came.
bool paintOnce(Fl_Window* window, const int& draws);

}  // namespace guitest
