// pbsim's panels and pbsim-study given the same numbers take the same steps:
// the panels are built in-process and driven through their widgets, the
// study runs as its own process. Needs a display: a recomputation shows the
// viewer window.

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Value_Input.H>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ballisticsapp.h"
#include "parameters.h"
#include "springmassapp.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// The step counts of every "done, in N iterations" in a console text, in order.
std::vector<int> stepCounts(const std::string& console) {
  std::vector<int> counts;
  const std::string mark = "done, in ";
  for (std::size_t at = console.find(mark); at != std::string::npos;
       at = console.find(mark, at + 1))
    counts.push_back(std::atoi(console.c_str() + at + mark.size()));
  return counts;
}

// The second column (steps) of the table rows of pbsim-study `arguments`.
std::vector<int> studySteps(const std::string& arguments) {
  FILE* pipe =
      popen((std::string(PBSIM_STUDY_PATH) + " " + arguments + " </dev/null").c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  EXPECT_EQ(pclose(pipe), 0) << arguments;
  std::vector<int> steps;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string scheme;
    int n = 0;
    if (words >> scheme >> n && (scheme == "euler" || scheme == "midpoint" || scheme == "rk4"))
      steps.push_back(n);
  }
  return steps;
}

class PanelsAndStudy : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "these tests need a display (xvfb-run)";
    static char name[] = "pbsim";
    static char* args[] = {name, nullptr};
    int argc = 1;
    glutInit(&argc, args);
    CaptureStdout();
    setUpBallistics(1, args);
    ballistics = makeBallisticsPanel();
    ballistics->show();
    setUpSpringMass(1, args);
    spring = makeSpringMassPanel();
    spring->show();
    GetCapturedStdout();
  }
  static inline Fl_Double_Window* ballistics = nullptr;
  static inline Fl_Double_Window* spring = nullptr;
};

// The value input labelled `label` in `group` (a group's label), anywhere in
// the window, or nullptr.
const Fl_Value_Input* field(Fl_Group* window, const std::string& group, const std::string& label) {
  for (int i = 0; i < window->children(); ++i) {
    Fl_Widget* w = window->child(i);
    const Fl_Group* g = w->as_group();
    if (!g) continue;
    for (int j = 0; j < g->children(); ++j) {
      const auto* input = dynamic_cast<const Fl_Value_Input*>(g->child(j));
      // A group without a title (the spring's scheme and time step) takes any name.
      if (input && input->label() && input->label() == label &&
          (!g->label() || g->label() == group))
        return input;
    }
  }
  return nullptr;
}

// Every parameter of the engine's tables is a field of pbsim's panel under
// the table's label and group, starting at the table's value as the panel
// holds it, a float (first, while the panels still hold their start-up values).
TEST_F(PanelsAndStudy, EveryParameterIsAPanelFieldWithItsStartUpValue) {
  for (const auto& p : kFlightParameters) {
    const Fl_Value_Input* f = field(ballistics, std::string(p.group), std::string(p.label));
    ASSERT_NE(f, nullptr) << p.label << " in " << p.group;
    EXPECT_FLOAT_EQ(static_cast<float>(f->value()), static_cast<float>(p.startUp())) << p.label;
  }
  for (const auto& p : kSpringParameters) {
    const Fl_Value_Input* f = field(spring, std::string(p.group), std::string(p.label));
    ASSERT_NE(f, nullptr) << p.label << " in " << p.group;
    EXPECT_FLOAT_EQ(static_cast<float>(f->value()), static_cast<float>(p.startUp())) << p.label;
  }
}

TEST_F(PanelsAndStudy, BallisticsPanelAndFlightAgree) {
  using namespace ballisticspanel;
  struct Case {
    double azimuth, elevation, mass, friction, gravity, dt;
  };
  for (Case c : {Case{10, 45, 1000, 50, -9.8, 0.1}, Case{7.7, 30.3, 900, 80, -9.8, 0.03},
                 Case{-120, 70.1, 250, 0, -3.7, 0.0123}}) {
    azimuthInput->value(c.azimuth);
    elevationInput->value(c.elevation);
    projectileMassInput->value(c.mass);
    airFrictionInput->value(c.friction);
    gravityInput->value(c.gravity);
    timeStepInput->value(c.dt);
    CaptureStdout();
    recomputeCallback(nullptr, nullptr);
    const std::vector<int> pbsim = stepCounts(GetCapturedStdout());
    std::ostringstream args;
    args.precision(17);
    args << "flight --azimuth " << c.azimuth << " --elevation " << c.elevation << " --mass "
         << c.mass << " --friction " << c.friction << " --gravity " << c.gravity << " --dt "
         << c.dt;
    ASSERT_EQ(pbsim.size(), 3u);
    EXPECT_EQ(studySteps(args.str()), pbsim) << args.str();
  }
}

TEST_F(PanelsAndStudy, SpringPanelAndSpringAgree) {
  using namespace springmasspanel;
  struct Case {
    double mass, ks, kd, rest, gravity, dt;
    Fl_Round_Button* scheme;
    const char* name;
  };
  for (Case c : {Case{5, 15, 1, 1, -9.8, 0.1, rk4Button, "rk4"},
                 Case{3, 20, 0.5, 1.5, -5, 0.02, midpointButton, "midpoint"},
                 Case{2.5, 40, 3.3, 0.7, -20, 0.05, eulerButton, "euler"}}) {
    massInput->value(c.mass);
    springKsInput->value(c.ks);
    springKdInput->value(c.kd);
    restLengthInput->value(c.rest);
    gravityInput->value(c.gravity);
    timeStepInput->value(c.dt);
    c.scheme->setonly();
    CaptureStdout();
    recomputeCallback(nullptr, nullptr);
    const std::vector<int> pbsim = stepCounts(GetCapturedStdout());
    std::ostringstream args;
    args.precision(17);
    args << "spring --mass " << c.mass << " --ks " << c.ks << " --kd " << c.kd << " --rest "
         << c.rest << " --gravity " << c.gravity << " --dt " << c.dt << " --schemes " << c.name;
    ASSERT_EQ(pbsim.size(), 1u);
    EXPECT_EQ(studySteps(args.str()), pbsim) << args.str();
  }
}

}  // namespace
