#include "playback.h"

#include <FL/Fl.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>

#include <cmath>

#include "springmassview.h"

bool playing = true;
Fl_Slider* playbackSlider = nullptr;
Fl_Value_Input* speedInput = nullptr;
SpringMassView* playbackView = nullptr;

namespace {

// Longest time one frame waits for events. A backwards playback waits as long
// as a forward one at the same rate; a NaN or infinite speed (the input takes
// whatever is typed or pasted) waits not at all, since the toolkit would treat
// it as "wait for the next event".
double frameWait(double speed) { return std::isfinite(speed) ? std::fabs(speed) : 0.0; }

}  // namespace

void playbackSliderCallback(Fl_Widget*, void*) {
  if (playbackSlider == nullptr || playbackView == nullptr) return;
  playbackView->framePosition = static_cast<float>(
      static_cast<double>(playbackView->trajectory.size()) * playbackSlider->value());
  playbackView->redraw();
}

void playCallback(Fl_Widget*, void*) {
  if (playbackSlider == nullptr || speedInput == nullptr || playbackView == nullptr) return;
  // Progress and position in single precision.
  float p = static_cast<float>(playbackSlider->value());
  playing = true;
  const float d = static_cast<float>(speedInput->value());
  // A speed that is not a number or infinite has no frames to show.
  if (!std::isfinite(d)) return;
  while (p < 1.0f && playing) {
    p = p + d;
    // Played backwards to the start: stop on the first sample.
    const bool atStart = d < 0.0f && p <= 0.0f;
    if (atStart) p = 0.0f;
    playbackSlider->value(p);
    // The sample count is read every frame: a recomputation run during the
    // wait below replaces the trajectory.
    playbackView->framePosition = static_cast<float>(playbackView->trajectory.size()) * p;
    playbackView->redraw();
    Fl::wait(frameWait(d));
    // Closing every window ends the playback too, so the program can end.
    if (atStart || Fl::first_window() == nullptr) break;
  }
}

void pauseCallback(Fl_Widget*, void*) { playing = false; }

void speedCallback(Fl_Widget*, void*) {
  playing = false;
  if (speedInput != nullptr) Fl::wait(frameWait(speedInput->value()));
  playCallback(nullptr, nullptr);
}
