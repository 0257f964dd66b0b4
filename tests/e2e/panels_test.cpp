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
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ballisticsapp.h"
#include "expected_console.h"
#include "numbers.h"
#include "panels_support.h"
#include "playback.h"
#include "springmassapp.h"

namespace {

using panels::consoleOf;

// Puts the ballistics panel back to its start-up state.
class BallisticsPanel : public ::testing::Test {
 protected:
  void TearDown() override {
    panels::typeBallisticsDefaults();
    consoleOf([] { ballisticspanel::recomputeCallback(nullptr, nullptr); });
  }
  BallisticsView& view = ballisticsApp.view;
};

TEST_F(BallisticsPanel, RecomputeReproducesTheStartUp) {
  EXPECT_EQ(panels::ballisticsStartUp(), expected::ballisticsStartUp());
  EXPECT_EQ(consoleOf([] { ballisticspanel::recomputeCallback(nullptr, nullptr); }),
            expected::ballisticsStartUp() + "callback complete\n");
  EXPECT_GT(ballisticspanel::timeTakenOutput->value(), 0.0);
}

// Each input but "Time Step" recomputes at once with everything the panel
// shows, its own new value included; checked input by input.
TEST_F(BallisticsPanel, EveryInputRecomputesWithItsNewValue) {
  using namespace ballisticspanel;
  const BallisticsParams& p = ballisticsApp.storedParams;
  struct Edit {
    const char* name;
    Fl_Value_Input* input;
    double value;
    std::function<float()> installed;
    float expected;
  };
  const Edit edits[] = {
      {"Azimuth", azimuthInput, 30, [&] { return p.azimuth; }, float(-30 / 180.0 * kPi)},
      {"Elevation", elevationInput, 30, [&] { return p.elevation; }, float(30 / 180.0 * kPi)},
      {"Projectile Mass", projectileMassInput, 800, [&] { return p.projectileMass; }, 800},
      {"Powder Amount", powderAmountInput, 1.5, [&] { return p.powderAmount; }, 1.5},
      {"Gravity", gravityInput, -5, [&] { return p.gravity; }, -5},
      {"Air Friction", airFrictionInput, 20, [&] { return p.airFriction; }, 20},
      {"Powder Power", powderPowerInput, 12000, [&] { return p.powderPower; }, 12000},
      {"X", xInput, 7, [&] { return p.target.z; }, 7},
      {"Z", zInput, 3, [&] { return p.target.x; }, 3},
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.name);
    const std::vector<Vector3f> before = view.rk4Trajectory;
    e.input->value(e.value);
    const std::string console = consoleOf([&] { e.input->do_callback(); });
    EXPECT_EQ(e.installed(), e.expected);
    EXPECT_NE(console.find(" iterations\ncallback complete\n"), std::string::npos) << console;
    // The view shows the new flight (the target moves instead for X and Z).
    if (e.input != xInput && e.input != zInput) {
      EXPECT_NE(view.rk4Trajectory.back().x, before.back().x);
    } else {
      EXPECT_EQ(view.target.x, p.target.x);
      EXPECT_EQ(view.target.z, p.target.z);
    }
  }
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
    panels::typeSpringMassDefaults();
    consoleOf(recompute);
  }
  static void recompute() { springmasspanel::recomputeCallback(nullptr, nullptr); }
  static void click(Fl_Round_Button* b) {
    b->value(!b->value());  // what the toolkit does before the callback
    b->do_callback();
  }
  SpringMassView& view = springMassApp.view;
};

TEST_F(SpringMassPanel, StartUpAndRecompute) {
  EXPECT_EQ(panels::springMassStartUp(), expected::kSpringMassStartUp);
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

// "Recompute" shows the first sample of the new motion, and the "Playback"
// slider goes back to the start with the view, whether the playback ended,
// was paused or was only dragged.
TEST_F(SpringMassPanel, RecomputeRewindsTheViewAndTheSlider) {
  ::playbackSlider->value(0.5);
  ::playbackSlider->do_callback();
  EXPECT_EQ(view.framePosition, 576.0f);
  consoleOf(recompute);
  EXPECT_EQ(view.framePosition, 0.0f);
  EXPECT_EQ(::playbackSlider->value(), 0.0);

  ::speedInput->value(0.5);
  playCallback(nullptr, nullptr);
  ASSERT_GE(view.framePosition, 1152.0f);
  consoleOf(recompute);
  EXPECT_EQ(view.framePosition, 0.0f);
  EXPECT_EQ(::playbackSlider->value(), 0.0);
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
