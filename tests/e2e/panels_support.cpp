#include "panels_support.h"

// clang-format off
#include <gtest/gtest.h>  // before fl_draw.H, whose X11 headers define None and Bool
// clang-format on
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>
#include <FL/fl_draw.H>
#include <GL/freeglut.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ballisticsapp.h"
#include "playback.h"
#include "springmassapp.h"

namespace panels {

std::string consoleOf(const std::function<void()>& action) {
  fflush(stdout);
  FILE* file = tmpfile();
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(file), STDOUT_FILENO);
  action();
  fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string text;
  rewind(file);
  for (int c; (c = fgetc(file)) != EOF;) text += static_cast<char>(c);
  fclose(file);
  return text;
}

namespace {

std::string ballisticsConsole, springMassConsole;

// The program's start-up: GLUT (the ballistics view draws its spheres with
// it), then each mode's first computation and its panel.
class ProgramStart : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) {
      std::fprintf(stderr, "These tests need an X display: run them under xvfb-run -a.\n");
      std::exit(1);
    }
    static char name[] = "pbsim";
    static char* args[] = {name, nullptr};
    int argc = 1;
    glutInit(&argc, args);
    ballisticsConsole = consoleOf([] { setUpBallistics(1, args); });
    makeBallisticsPanel()->show();
    springMassConsole = consoleOf([] { setUpSpringMass(1, args); });
    makeSpringMassPanel()->show();
    // Without a window manager every window opens at the screen's corner;
    // side by side, each shows all its pixels.
    ballisticsApp.viewer.topWindow->position(0, 0);
    ballisticspanel::window->position(420, 0);
    springMassApp.viewer.topWindow->position(0, 420);
    springmasspanel::window->position(420, 420);
  }
};

auto* const start = ::testing::AddGlobalTestEnvironment(new ProgramStart);

}  // namespace

const std::string& ballisticsStartUp() { return ballisticsConsole; }
const std::string& springMassStartUp() { return springMassConsole; }

Fl_Button* buttonLabelled(Fl_Group* group, const char* label) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* w = group->child(i);
    if (w->label() != nullptr && std::strcmp(w->label(), label) == 0) {
      return dynamic_cast<Fl_Button*>(w);
    }
    if (Fl_Group* g = w->as_group()) {
      if (Fl_Button* b = buttonLabelled(g, label)) return b;
    }
  }
  return nullptr;
}

void typeBallisticsDefaults() {
  using namespace ballisticspanel;
  const std::pair<Fl_Value_Input*, double> values[] = {
      {azimuthInput, 10},        {elevationInput, 45}, {projectileMassInput, 1000},
      {powderAmountInput, 1},    {gravityInput, -9.8}, {airFrictionInput, 50},
      {powderPowerInput, 10000}, {xInput, 10},         {zInput, 0},
      {timeStepInput, 0.1}};
  for (const auto& [input, value] : values) input->value(value);
  for (Fl_Check_Button* b : {eulerButton, midpointButton, rk4Button}) b->value(1);
}

void typeSpringMassDefaults() {
  using namespace springmasspanel;
  const std::pair<Fl_Value_Input*, double> values[] = {
      {massInput, 5},     {springKsInput, 15},  {restLengthInput, 1},  {gravityInput, -9.8},
      {springKdInput, 1}, {timeStepInput, 0.1}, {::speedInput, 0.0001}};
  for (const auto& [input, value] : values) input->value(value);
  eulerButton->value(0);
  midpointButton->value(0);
  rk4Button->value(1);
  ::playbackSlider->value(0);
}

Picture grab(Fl_Window* window) {
  // Read until two readings agree: a window just shown or raised may still
  // be waiting for its repaint.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  Picture last;
  for (;;) {
    for (int i = 0; i < 3; ++i) Fl::wait(0.02);
    Fl::flush();
    Picture p;
    p.width = window->w();
    p.height = window->h();
    window->make_current();
    std::unique_ptr<unsigned char[]> pixels(fl_read_image(nullptr, 0, 0, p.width, p.height));
    p.rgb.assign(pixels.get(), pixels.get() + std::size_t(p.width) * p.height * 3);
    if (p.rgb == last.rgb || std::chrono::steady_clock::now() > deadline) return p;
    last = std::move(p);
  }
}

}  // namespace panels
