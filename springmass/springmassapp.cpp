#include "springmassapp.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>

#include <cstdio>
#include <cstdlib>

#include "playback.h"
#include "secondsoutput.h"
#include "stopwatch.h"

// Built after the ballistics application object (whose priority is 65000),
// destroyed before it.
SpringMassApp springMassApp __attribute__((init_priority(65001)));

namespace {
// Text size of the value fields: the start-up values, a "Speed" such as
// 0.00010 and every "Time Taken" fit their boxes whole.
constexpr int kNumberSize = 10;
}  // namespace

SpringMassApp::SpringMassApp() : viewer(&view) {
  runMidpoint = false;
  runEuler = false;
  runRK4 = true;
}

void SpringMassApp::setSchemeEnabled(int scheme, bool on) {
  if (bool* flag = schemeFlag(scheme, runEuler, runMidpoint, runRK4)) *flag = on;
}

void SpringMassApp::setParameters(float mass, float gravity, float ks, float kd, float restLength) {
  printf("Setting parameters: mass=%f, gravity=%f, ks=%f, ld=%f, restlength=%f.\n", mass, gravity,
         ks, kd, restLength);
  storedParams.setValues(mass, gravity, 1);
  storedParams.springs[0] = SpringParams(ks, kd, restLength);
  sim.params = storedParams;
}

void SpringMassApp::setTimeStep(float timeStep) {
  sim.params.timeStep = timeStep;
  storedParams.timeStep = timeStep;
  printf("Setting time step to %f\n", timeStep);
}

int SpringMassApp::runSimulation(int argc, char** argv) {
  // Back to the first sample, the "Playback" slider with the view.
  view.framePosition = 0.0f;
  if (playbackSlider != nullptr) playbackSlider->value(0);
  view.trajectory.clear();

  // Only the first selected scheme is computed.
  int scheme = -1;
  if (runEuler) {
    scheme = Euler;
  } else if (runMidpoint) {
    scheme = Midpoint;
  } else if (runRK4) {
    scheme = RK4;
  }
  if (scheme >= 0) {
    sim.setScheme(scheme);
    sim.simulate();
    view.trajectory = sim.trajectory;
  }

  Fl::visual(FL_DOUBLE | FL_INDEX);
  viewer.show(argc, argv);
  view.redraw();
  return 0;
}

namespace springmasspanel {

int argc = 0;
char** argv = nullptr;
Fl_Double_Window* window = nullptr;
Fl_Value_Input* massInput = nullptr;
Fl_Value_Input* springKsInput = nullptr;
Fl_Value_Input* restLengthInput = nullptr;
Fl_Value_Input* gravityInput = nullptr;
Fl_Value_Input* springKdInput = nullptr;
Fl_Round_Button* eulerButton = nullptr;
Fl_Round_Button* midpointButton = nullptr;
Fl_Round_Button* rk4Button = nullptr;
Fl_Value_Input* timeStepInput = nullptr;
Fl_Value_Output* timeTakenOutput = nullptr;

void recomputeCallback(Fl_Widget*, void*) {
  printf("Recompute");
  const float mass = static_cast<float>(massInput->value());
  const float ks = static_cast<float>(springKsInput->value());
  const float kd = static_cast<float>(springKdInput->value());
  const float restLength = static_cast<float>(restLengthInput->value());
  const float gravity = static_cast<float>(gravityInput->value());
  const bool euler = eulerButton->value() != 0;
  const bool midpoint = midpointButton->value() != 0;
  const bool rk4 = rk4Button->value() != 0;

  springMassApp.setParameters(mass, gravity, ks, kd, restLength);
  springMassApp.setSchemeEnabled(2, rk4);
  springMassApp.setSchemeEnabled(0, euler);
  springMassApp.setSchemeEnabled(1, midpoint);
  springMassApp.setTimeStep(static_cast<float>(timeStepInput->value()));

  Stopwatch t;
  t.start();
  springMassApp.runSimulation(argc, argv);
  timeTakenOutput->value(t.elapsedSeconds());
}

void exitCallback(Fl_Widget*, void*) { exit(0); }

namespace {
// The scheme buttons in scheme order (Euler, Midpoint, RK4).
Fl_Round_Button* schemeButton(int scheme) {
  Fl_Round_Button* const buttons[] = {eulerButton, midpointButton, rk4Button};
  return buttons[scheme];
}
}  // namespace

template <int Scheme>
void schemeButtonCallback(Fl_Widget*, void*) {
  Fl_Round_Button* own = schemeButton(Scheme);
  if (own->value() == 0) return;  // switched off: possibly none is on now
  own->setonly();
  schemeButton((Scheme + 1) % 3)->value(0);
  schemeButton((Scheme + 2) % 3)->value(0);
}

template void schemeButtonCallback<Euler>(Fl_Widget*, void*);
template void schemeButtonCallback<Midpoint>(Fl_Widget*, void*);
template void schemeButtonCallback<RK4>(Fl_Widget*, void*);

}  // namespace springmasspanel

void setUpSpringMass(int argc, char** argv) {
  springmasspanel::argc = argc;
  springmasspanel::argv = argv;
  springMassApp.setSchemeEnabled(2, true);
  springMassApp.setSchemeEnabled(0, false);
  springMassApp.setSchemeEnabled(1, false);
  springMassApp.runSimulation(springmasspanel::argc, springmasspanel::argv);
}

Fl_Double_Window* makeSpringMassPanel() {
  using namespace springmasspanel;
  const SpringMassParams& p = springMassApp.storedParams;

  window = new Fl_Double_Window(280, 275, "Spring Mass Simulation");
  {
    Fl_Group* o = new Fl_Group(5, 20, 275, 100, "Parameters");
    o->box(FL_PLASTIC_DOWN_BOX);
    o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    {
      massInput = new Fl_Value_Input(50, 25, 50, 25, "Mass");
      massInput->box(FL_THIN_DOWN_BOX);
      massInput->textsize(kNumberSize);
      massInput->value(p.mass);
      massInput->maximum(10000);
      massInput->step(0.1);
    }
    {
      springKsInput = new Fl_Value_Input(220, 25, 50, 25, "Spring Ks");
      springKsInput->box(FL_THIN_DOWN_BOX);
      springKsInput->textsize(kNumberSize);
      springKsInput->value(p.springs[0].ks);
      springKsInput->maximum(1000);
      springKsInput->step(0.1);
    }
    {
      restLengthInput = new Fl_Value_Input(94, 55, 50, 25, "Rest Length");
      restLengthInput->box(FL_THIN_DOWN_BOX);
      restLengthInput->textsize(kNumberSize);
      restLengthInput->value(p.springs[0].restLength);
      restLengthInput->maximum(1000);
      restLengthInput->step(0.1);
    }
    {
      gravityInput = new Fl_Value_Input(220, 85, 50, 25, "Gravity");
      gravityInput->box(FL_THIN_DOWN_BOX);
      gravityInput->textsize(kNumberSize);
      gravityInput->value(p.gravity);
      gravityInput->maximum(1000);
      gravityInput->minimum(-1000);
      gravityInput->step(0.1);
    }
    {
      Fl_Button* b = new Fl_Button(12, 85, 80, 25, "Recompute");
      b->callback(recomputeCallback);
    }
    {
      Fl_Button* b = new Fl_Button(100, 85, 60, 25, "Exit");
      b->callback(exitCallback);
    }
    {
      springKdInput = new Fl_Value_Input(220, 55, 50, 25, "Spring Kd");
      springKdInput->box(FL_THIN_DOWN_BOX);
      springKdInput->textsize(kNumberSize);
      springKdInput->value(p.springs[0].kd);
      springKdInput->maximum(1000);
      springKdInput->step(0.1);
    }
    o->end();
  }
  {
    Fl_Group* o = new Fl_Group(5, 125, 270, 60);
    o->box(FL_PLASTIC_DOWN_BOX);
    {
      eulerButton = new Fl_Round_Button(50, 130, 25, 25, "Euler");
      eulerButton->down_box(FL_ROUND_DOWN_BOX);
      eulerButton->align(Fl_Align(FL_ALIGN_LEFT));
      if (springMassApp.runEuler) eulerButton->setonly();
      eulerButton->callback(schemeButtonCallback<Euler>);
    }
    {
      midpointButton = new Fl_Round_Button(150, 130, 25, 25, "Midpoint");
      midpointButton->down_box(FL_ROUND_DOWN_BOX);
      midpointButton->align(Fl_Align(FL_ALIGN_LEFT));
      if (springMassApp.runMidpoint) midpointButton->setonly();
      midpointButton->callback(schemeButtonCallback<Midpoint>);
    }
    {
      rk4Button = new Fl_Round_Button(240, 130, 25, 25, "RK4");
      rk4Button->down_box(FL_ROUND_DOWN_BOX);
      rk4Button->align(Fl_Align(FL_ALIGN_LEFT));
      if (springMassApp.runRK4) rk4Button->setonly();
      rk4Button->callback(schemeButtonCallback<RK4>);
    }
    {
      // Takes effect at the next "Recompute".
      timeStepInput = new Fl_Value_Input(80, 155, 50, 25, "Time Step");
      timeStepInput->box(FL_THIN_DOWN_BOX);
      timeStepInput->textsize(kNumberSize);
      timeStepInput->value(p.timeStep);
    }
    {
      timeTakenOutput = new SecondsOutput(217, 155, 50, 25, "Time Taken");
      timeTakenOutput->box(FL_THIN_DOWN_BOX);
      timeTakenOutput->textsize(kNumberSize);
    }
    o->end();
  }
  {
    Fl_Group* o = new Fl_Group(5, 190, 270, 80);
    o->box(FL_PLASTIC_DOWN_BOX);
    {
      playbackSlider = new Fl_Slider(10, 210, 260, 25, "Playback");
      playbackSlider->type(FL_HOR_NICE_SLIDER);
      playbackSlider->align(Fl_Align(FL_ALIGN_TOP));
      playbackSlider->range(0, 1);
      playbackSlider->value(0);
      playbackSlider->callback(playbackSliderCallback);
    }
    {
      Fl_Button* b = new Fl_Button(10, 240, 50, 25, "Play");
      b->callback(playCallback);
    }
    {
      Fl_Button* b = new Fl_Button(70, 240, 50, 25, "Pause");
      b->callback(pauseCallback);
    }
    {
      speedInput = new Fl_Value_Input(200, 240, 50, 25, "Speed");
      speedInput->box(FL_THIN_DOWN_BOX);
      speedInput->textsize(kNumberSize);
      speedInput->maximum(10);
      speedInput->step(0.00001);
      speedInput->value(0.0001);
      speedInput->callback(speedCallback);
      speedInput->when(FL_WHEN_CHANGED);
    }
    o->end();
  }
  window->end();
  playbackView = &springMassApp.view;
  return window;
}

int runSpringMass(int& argc, char** argv) {
  setUpSpringMass(argc, argv);
  makeSpringMassPanel()->show();
  const int result = Fl::run();
  // Hiding the last window only queued its removal; send it to the display
  // now, or the window stays on screen while main waits for a key.
  Fl::flush();
  return result;
}
