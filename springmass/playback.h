#pragma once

// Playback of the spring-mass motion. The panel builder creates the
// "Playback" slider and the "Speed" input and points these references at
// them and at the view; each callback does nothing while a reference it
// needs is still null.
//
// The playback runs inside the "Play" callback: every frame adds "Speed" to
// the slider's progress (0 to 1 across the trajectory), moves the view there,
// and lets the toolkit handle events for at most "Speed" seconds, so "Pause",
// "Speed" and "Recompute" run nested inside it. One process-wide flag,
// `playing`, stops every running loop.

class Fl_Widget;
class Fl_Slider;
class Fl_Value_Input;
class SpringMassView;

extern bool playing;                  // true at start; cleared by Pause and by a Speed change
extern Fl_Slider* playbackSlider;     // "Playback": progress 0..1 through the trajectory
extern Fl_Value_Input* speedInput;    // "Speed": progress per frame and longest wait per frame (s)
extern SpringMassView* playbackView;  // the view whose trajectory is played

// The slider moved: show the moment it points at.
void playbackSliderCallback(Fl_Widget*, void*);
// Plays from the slider's position until the progress reaches 1, the
// progress falls below 0 (a negative speed plays backwards to the first
// sample), `playing` is cleared, or no window is left shown.
void playCallback(Fl_Widget*, void*);
// Stops every running playback after its current wait.
void pauseCallback(Fl_Widget*, void*);
// Stops the running playback, then plays again with the new speed.
void speedCallback(Fl_Widget*, void*);
