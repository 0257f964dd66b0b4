// Both control panels built in-process and driven through their widgets, as
// the toolkit would on a click or a keystroke. Needs a display: every
// recomputation shows the viewer window.

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "ballisticsapp.h"
#include "expected_console.h"
#include "playback.h"
#include "springmassapp.h"

namespace {

// What `action` prints on standard output.
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

// The program's start-up, once per process: GLUT (the ballistics view draws
// its spheres with it), then each mode's first computation and its panel.
class ProgramStart : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "these tests need a display (xvfb-run)";
    static char name[] = "pbsim";
    static char* args[] = {name, nullptr};
    int argc = 1;
    glutInit(&argc, args);
    ballisticsStartUp = consoleOf([] { setUpBallistics(1, args); });
    makeBallisticsPanel()->show();
    springMassStartUp = consoleOf([] { setUpSpringMass(1, args); });
    makeSpringMassPanel()->show();
  }
  static std::string ballisticsStartUp, springMassStartUp;
};
std::string ProgramStart::ballisticsStartUp, ProgramStart::springMassStartUp;
auto* const start = ::testing::AddGlobalTestEnvironment(new ProgramStart);

// Puts the ballistics panel back to its start-up state without a callback.
class BallisticsPanel : public ::testing::Test {
 protected:
  void TearDown() override {
    using namespace ballisticspanel;
    azimuthInput->value(10);
    xInput->value(10);
    zInput->value(0);
    timeStepInput->value(0.1);
    for (Fl_Check_Button* b : {eulerButton, midpointButton, rk4Button}) b->value(1);
    consoleOf([] { recomputeCallback(nullptr, nullptr); });
  }
  BallisticsView& view = ballisticsApp.view;
};

TEST_F(BallisticsPanel, RecomputeReproducesTheStartUp) {
  EXPECT_EQ(ProgramStart::ballisticsStartUp, expected::ballisticsStartUp());
  EXPECT_EQ(consoleOf([] { ballisticspanel::recomputeCallback(nullptr, nullptr); }),
            expected::ballisticsStartUp() + "callback complete\n");
  EXPECT_GT(ballisticspanel::timeTakenOutput->value(), 0.0);
}

TEST_F(BallisticsPanel, UntickingASchemeDropsItsFlightAndItsLine) {
  ballisticspanel::eulerButton->value(0);
  const std::string console = consoleOf([] { ballisticspanel::eulerButton->do_callback(); });
  EXPECT_NE(console.find("Setting time step to 0.100000\n" + expected::midpointFlight() +
                         expected::rk4Flight() + "callback complete\n"),
            std::string::npos)
      << console;
  EXPECT_TRUE(view.eulerTrajectory.empty());
  EXPECT_FALSE(view.midpointTrajectory.empty());
  EXPECT_FALSE(view.rk4Trajectory.empty());

  for (Fl_Check_Button* b : {ballisticspanel::midpointButton, ballisticspanel::rk4Button}) {
    b->value(0);
    consoleOf([b] { b->do_callback(); });
  }
  EXPECT_TRUE(view.midpointTrajectory.empty() && view.rk4Trajectory.empty());
}

TEST_F(BallisticsPanel, TargetInputsXAndZ) {
  ballisticspanel::xInput->value(5);
  consoleOf([] { ballisticspanel::xInput->do_callback(); });
  ballisticspanel::zInput->value(2);
  consoleOf([] { ballisticspanel::zInput->do_callback(); });
  EXPECT_EQ(view.target.x, 2.0f);
  EXPECT_EQ(view.target.y, 0.0f);
  EXPECT_EQ(view.target.z, 5.0f);
}

// The panel's azimuth turns the other way from the model's: 90 fires along
// -x.
TEST_F(BallisticsPanel, AzimuthNinetyFiresTowardsMinusX) {
  ballisticspanel::azimuthInput->value(90);
  consoleOf([] { ballisticspanel::azimuthInput->do_callback(); });
  // The start-up shot (azimuth -10°) lands about 9.725 from the gun; turned
  // to the panel's 90° it lands as far along -x.
  const Vector3f landing = view.rk4Trajectory.back();
  EXPECT_NEAR(landing.x, -9.725f, 2e-3f);
  EXPECT_NEAR(landing.z, 0.0f, 1e-5f);
}

TEST_F(BallisticsPanel, TimeStepAloneComputesNothingUntilTheNextRecompute) {
  ballisticspanel::timeStepInput->value(0.05);
  EXPECT_EQ(consoleOf([] { ballisticspanel::timeStepInput->do_callback(); }), "");
  EXPECT_NE(consoleOf([] {
              ballisticspanel::recomputeCallback(nullptr, nullptr);
            }).find("Setting time step to 0.050000\n"),
            std::string::npos);
}

class SpringMassPanel : public ::testing::Test {
 protected:
  void TearDown() override {
    using namespace springmasspanel;
    eulerButton->value(0);
    midpointButton->value(0);
    rk4Button->value(1);
    ::speedInput->value(0.0001);
    ::playbackSlider->value(0);
    consoleOf([] { recomputeCallback(nullptr, nullptr); });
  }
  static void recompute() { springmasspanel::recomputeCallback(nullptr, nullptr); }
  static void click(Fl_Round_Button* b) {
    b->value(!b->value());  // what the toolkit does before the callback
    b->do_callback();
  }
  SpringMassView& view = springMassApp.view;
};

TEST_F(SpringMassPanel, StartUpAndRecompute) {
  EXPECT_EQ(ProgramStart::springMassStartUp, expected::kSpringMassStartUp);
  EXPECT_EQ(consoleOf(recompute),
            "RecomputeSetting parameters: mass=5.000000, gravity=-9.800000, ks=15.000000, "
            "ld=1.000000, restlength=1.000000.\nSetting time step to 0.100000\n" +
                expected::kSpringMassStartUp);
  EXPECT_EQ(view.trajectory.size(), 1152u);
  EXPECT_GT(springmasspanel::timeTakenOutput->value(), 0.0);
}

TEST_F(SpringMassPanel, SchemeButtonsAreExclusiveAndCanAllBeOff) {
  using namespace springmasspanel;
  click(eulerButton);
  EXPECT_EQ(eulerButton->value(), 1);
  EXPECT_EQ(midpointButton->value() + rk4Button->value(), 0);
  click(midpointButton);
  EXPECT_EQ(eulerButton->value() + rk4Button->value(), 0);
  EXPECT_TRUE(springMassApp.runRK4) << "a click alone must not compute or install";

  click(midpointButton);
  EXPECT_EQ(eulerButton->value() + midpointButton->value() + rk4Button->value(), 0);
  const std::string console = consoleOf(recompute);
  EXPECT_EQ(console.find("Beginning"), std::string::npos) << console;
  EXPECT_TRUE(view.trajectory.empty());
}

// Play, Pause and Speed in the running event loop: the playback re-enters it
// with Fl::wait, so a timer stands in for the user's clicks.
TEST_F(SpringMassPanel, PlayPauseAndSpeed) {
  const float samples = static_cast<float>(view.trajectory.size());
  ::speedInput->value(0.25);
  playCallback(nullptr, nullptr);  // four frames: 0.25, 0.5, 0.75, 1
  EXPECT_GE(::playbackSlider->value(), 1.0);
  EXPECT_FLOAT_EQ(view.framePosition, samples * static_cast<float>(::playbackSlider->value()));

  ::playbackSlider->value(0);
  ::speedInput->value(0.0005);
  Fl::add_timeout(0.2, [](void*) { pauseCallback(nullptr, nullptr); });
  playCallback(nullptr, nullptr);
  const double paused = ::playbackSlider->value();
  EXPECT_GT(paused, 0.0);
  EXPECT_LT(paused, 1.0);
  EXPECT_FALSE(playing);

  ::speedInput->value(0.5);  // typed: the input calls back, which plays on
  ::speedInput->do_callback();
  EXPECT_GE(::playbackSlider->value(), 1.0);
  EXPECT_GE(view.framePosition, samples);
}

}  // namespace
