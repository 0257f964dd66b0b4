#include "gui_support.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace guitest {

Rgb Frame::at(int x, int yFromTop) const {
  const std::size_t i = (std::size_t(height - 1 - yFromTop) * width + x) * 3;
  return {rgb.at(i), rgb.at(i + 1), rgb.at(i + 2)};
}

bool near(Rgb c, float r, float g, float b) {
  auto close = [](int v, float f) { return std::abs(v - std::lround(f * 255.0f)) <= 3; };
  return close(c.r, r) && close(c.g, g) && close(c.b, b);
}

bool isBlack(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 0; }

int column(double ndcX, int width) { return int(std::floor((ndcX + 1.0) / 2.0 * width)); }
int row(double ndcY, int height) { return int(std::floor((1.0 - ndcY) / 2.0 * height)); }

Box findColour(const Frame& f, float r, float g, float b) {
  Box box{0, f.width, -1, f.height, -1};
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x)
      if (near(f.at(x, y), r, g, b)) {
        ++box.count;
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

Frame readBackBuffer(int width, int height) {
  Frame f;
  f.width = width;
  f.height = height;
  f.rgb.resize(std::size_t(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
  return f;
}

bool paintOnce(Fl_Window* window, const int& draws) {
  const int before = draws;
  if (!window->shown()) window->show();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (draws == before && std::chrono::steady_clock::now() < end) Fl::wait(0.02);
  return draws > before;
}

namespace {

// freeglut keeps its own display connection; it must be opened once per
// process before a view draws a GLUT sphere. It ends the process when there
// is no display, so say why first.
class GlutEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) {
      std::fprintf(stderr, "These tests need an X display: run them under xvfb-run -a.\n");
      std::exit(1);
    }
    int argc = 1;
    char name[] = "pbsim_gui_tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
  }
};

const auto* const glutEnvironment = ::testing::AddGlobalTestEnvironment(new GlutEnvironment);

}  // namespace

}  // namespace guitest
