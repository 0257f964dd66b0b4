#pragma once

// Helpers for the tests that show views on a (virtual) display: the picture a
// view painted, read from its back buffer at the end of draw().

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include <memory>
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

Frame readBackBuffer(int width, int height);

// A view that keeps the picture of its last repaint and counts its repaints.
template <class View>
class Captured : public View {
 public:
  using View::View;
  Frame frame;
  int draws = 0;

  void draw() override {
    View::draw();
    frame = readBackBuffer(this->w(), this->h());
    ++draws;
  }
};

// Shows the window (if needed) and handles events until `draws` has grown,
// at most a few seconds; returns false when no repaint came.
bool paintOnce(Fl_Window* window, const int& draws);

// A 329 by 329 window holding only a captured View at its origin, so that
// view pixels are window pixels.
template <class View>
struct SceneTest : ::testing::Test {
  std::unique_ptr<Fl_Double_Window> window{new Fl_Double_Window(329, 329, "scene test")};
  Captured<View>* view = new Captured<View>;
  void SetUp() override {
    window->end();
    view->position(0, 0);
  }
  void paint() {
    view->redraw();
    ASSERT_TRUE(paintOnce(window.get(), view->draws));
  }
};

}  // namespace guitest
