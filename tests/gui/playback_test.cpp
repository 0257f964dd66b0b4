// Playback: the slider, Play, Pause and Speed callbacks driving a shown view,
// with nested callbacks fired from timeouts inside the playback loop.

#include "playback.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>

#include "gui_support.h"
#include "springmassview.h"

namespace {

// Remembers the position of every repaint.
struct RecordingView : SpringMassView {
  std::vector<float> painted;
  void draw() override {
    painted.push_back(framePosition);
    SpringMassView::draw();
  }
};

struct Playback : ::testing::Test {
  std::unique_ptr<Fl_Double_Window> window{new Fl_Double_Window(329, 329, "playback")};
  RecordingView* view = new RecordingView;
  std::unique_ptr<Fl_Slider> slider;
  std::unique_ptr<Fl_Value_Input> speed;

  void SetUp() override {
    window->end();
    slider.reset(new Fl_Slider(0, 0, 200, 20, "Playback"));
    speed.reset(new Fl_Value_Input(0, 0, 80, 20, "Speed"));
    view->trajectory.assign(100, -1.0f);
    playbackSlider = slider.get();
    speedInput = speed.get();
    playbackView = view;
    playing = true;
    window->show();
    // Let the first exposure paint, then record only what playback paints.
    for (int i = 0; i < 20 && view->painted.empty(); ++i) Fl::wait(0.05);
    for (int i = 0; i < 5; ++i) Fl::wait(0.01);
    view->painted.clear();
  }
  void TearDown() override {
    playbackSlider = nullptr;
    speedInput = nullptr;
    playbackView = nullptr;
    playing = true;
  }
  void play(double from, double d) {
    slider->value(from);
    speed->value(d);
    playCallback(nullptr, nullptr);
  }
};

void pressPause(void*) { pauseCallback(nullptr, nullptr); }

TEST_F(Playback, SliderSelectsTheSampleAtItsFractionOfTheTrajectory) {
  slider->value(0.5);
  playbackSliderCallback(slider.get(), nullptr);
  EXPECT_EQ(view->framePosition, 50.0f);
  slider->value(0.985);
  playbackSliderCallback(slider.get(), nullptr);
  EXPECT_FLOAT_EQ(view->framePosition, 98.5f);
  Fl::wait(0.05);
  EXPECT_EQ(view->painted.back(), view->framePosition);
}

TEST_F(Playback, QuarterSpeedFromTheStartShowsFourFrames) {
  play(0, 0.25);
  EXPECT_EQ(view->painted, (std::vector<float>{25, 50, 75, 100}));
  EXPECT_EQ(slider->value(), 1.0);
}

TEST_F(Playback, PlayAtTheEndDoesNothing) {
  view->framePosition = 42;
  play(1.0, 0.25);
  EXPECT_EQ(view->framePosition, 42.0f);
  EXPECT_EQ(slider->value(), 1.0);
  EXPECT_TRUE(view->painted.empty());
}

TEST_F(Playback, PauseInsideARunningPlaybackFreezesItAndPlayContinues) {
  Fl::add_timeout(0.15, pressPause);
  play(0, 0.01);
  const float frozen = float(slider->value());
  EXPECT_GT(frozen, 0.0f);
  EXPECT_LT(frozen, 1.0f);
  EXPECT_FALSE(playing);
  EXPECT_EQ(view->framePosition, 100 * frozen);
  for (int i = 0; i < 10; ++i) Fl::wait(0.02);
  EXPECT_EQ(float(slider->value()), frozen);

  view->painted.clear();
  Fl::add_timeout(0.1, pressPause);
  playCallback(nullptr, nullptr);
  ASSERT_FALSE(view->painted.empty());
  EXPECT_FLOAT_EQ(view->painted.front(), 100 * (frozen + 0.01f));
}

TEST_F(Playback, SpeedChangeWhilePausedStartsPlayback) {
  playing = false;
  slider->value(0.5);
  speed->value(0.25);
  speedCallback(speed.get(), nullptr);
  EXPECT_EQ(view->painted, (std::vector<float>{75, 100}));
  EXPECT_TRUE(playing);
}

TEST_F(Playback, RecomputationDuringPlaybackContinuesOnTheNewSamples) {
  Fl::add_timeout(0.2, [](void*) { playbackView->trajectory.assign(40, -1.5f); });
  play(0, 0.05);
  const std::vector<float>& painted = view->painted;
  ASSERT_GE(painted.size(), 3u);
  EXPECT_FLOAT_EQ(painted.front(), 100 * 0.05f);
  EXPECT_FLOAT_EQ(painted.back(), 40 * float(slider->value()));
}

TEST_F(Playback, NegativeSpeedPlaysBackToTheFirstSampleAndStops) {
  play(0.5, -0.1);
  ASSERT_FALSE(view->painted.empty());
  EXPECT_LE(view->painted.size(), 6u);
  for (float p : view->painted) EXPECT_GE(p, 0.0f);
  EXPECT_EQ(view->painted.back(), 0.0f);
  EXPECT_EQ(slider->value(), 0.0);
}

// Backwards, every frame is shown and waits for events as long as a frame
// forwards does: 0.75 to 0 at -0.25 is three frames of 0.25 s.
TEST_F(Playback, NegativeSpeedShowsAndWaitsForEveryFrame) {
  const auto start = std::chrono::steady_clock::now();
  play(0.75, -0.25);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(view->painted, (std::vector<float>{50, 25, 0}));
  // An event can end a wait early, but not every one of them.
  EXPECT_GT(took.count(), 0.375);
}

TEST_F(Playback, ZeroSpeedRunsUntilPauseOrUntilNoWindowIsLeft) {
  Fl::add_timeout(0.1, pressPause);
  play(0.3, 0);
  EXPECT_FLOAT_EQ(float(slider->value()), 0.3f);
  EXPECT_FLOAT_EQ(view->framePosition, 30);

  Fl::add_timeout(
      0.1, [](void* w) { static_cast<Fl_Window*>(w)->hide(); }, window.get());
  play(0.3, 0);
  EXPECT_EQ(Fl::first_window(), nullptr);
  EXPECT_TRUE(playing);  // ended by the closed window, not by Pause
}

TEST_F(Playback, SpeedsThatAreNotNumbersAndMissingWidgetsPlayNothing) {
  view->framePosition = 7;
  play(0.2, std::numeric_limits<double>::quiet_NaN());
  play(0.2, std::numeric_limits<double>::infinity());
  speedCallback(speed.get(), nullptr);
  EXPECT_EQ(view->framePosition, 7.0f);
  EXPECT_EQ(slider->value(), 0.2);

  playbackSlider = nullptr;
  speedInput = nullptr;
  playbackView = nullptr;
  playbackSliderCallback(nullptr, nullptr);
  playCallback(nullptr, nullptr);
  speedCallback(nullptr, nullptr);
  pauseCallback(nullptr, nullptr);
  EXPECT_FALSE(playing);
  EXPECT_EQ(view->framePosition, 7.0f);
}

}  // namespace
