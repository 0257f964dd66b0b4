#include "ballisticsapp.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>

#include <cstdio>
#include <cstdlib>

#include "ballisticssetup.h"
#include "secondsoutput.h"
#include "stopwatch.h"

// Both application objects are built during static initialisation, this one
// first: the priorities order them across their two translation units (a
// lower number is constructed earlier, and destroyed later).
BallisticsApp ballisticsApp __attribute__((init_priority(65000)));

namespace {
// Text size of the value fields: the start-up values, a typed time step such
// as 0.0001 and every "Time Taken" fit their boxes whole.
constexpr int kNumberSize = 10;
}  // namespace

BallisticsApp::BallisticsApp() : viewer(&view) {
  runEuler = true;
  runMidpoint = true;
  runRK4 = true;
}

void BallisticsApp::setParameters(float azimuth, float elevation, float projectileMass,
                                  float powderAmount, float powderPower, float gravity,
                                  float airFriction, const Vector3f& target) {
  printf(
      "Setting parameters: azimuth=%f, elevation=%f, projectile mass=%f, powder: amount=%f, "
      "power=%f, gravity=%f, air friction=%f, target=(%f,%f,%f)\n",
      azimuth, elevation, projectileMass, powderAmount, powderPower, gravity, airFriction, target.x,
      target.y, target.z);
  storedParams.azimuth = azimuth;
  storedParams.elevation = elevation;
  storedParams.projectileMass = projectileMass;
  storedParams.powderAmount = powderAmount;
  storedParams.powderPower = powderPower;
  storedParams.gravity = gravity;
  storedParams.airFriction = airFriction;
  storedParams.target = target;
  sim.params = storedParams;
}

void BallisticsApp::setTimeStep(float timeStep) {
  sim.params.timeStep = storedParams.timeStep = timeStep;
  printf("Setting time step to %f\n", timeStep);
}

void BallisticsApp::setSchemeEnabled(int index, bool on) {
  if (bool* flag = schemeFlag(index, runEuler, runMidpoint, runRK4)) *flag = on;
}

int BallisticsApp::runSimulation(int argc, char** argv) {
  view.target = sim.params.target;

  // One flight per enabled scheme; a disabled scheme's old flight is dropped
  // from the view, not left on screen.
  struct Flight {
    bool enabled;
    int scheme;
    std::vector<Vector3f>& shown;
  };
  const Flight flights[] = {{runEuler, Euler, view.eulerTrajectory},
                            {runMidpoint, Midpoint, view.midpointTrajectory},
                            {runRK4, RK4, view.rk4Trajectory}};
  for (const Flight& flight : flights) {
    if (flight.enabled) {
      sim.setScheme(flight.scheme);
      sim.simulate();
      flight.shown = sim.trajectory;
    } else {
      flight.shown.clear();
    }
  }

  Fl::visual(FL_DOUBLE | FL_INDEX);
  viewer.show(argc, argv);
  view.redraw();
  return 0;
}

namespace ballisticspanel {

int argc = 0;
char** argv = nullptr;
Fl_Double_Window* window = nullptr;
Fl_Value_Input* azimuthInput = nullptr;
Fl_Value_Input* elevationInput = nullptr;
Fl_Value_Input* projectileMassInput = nullptr;
Fl_Value_Input* powderAmountInput = nullptr;
Fl_Value_Input* gravityInput = nullptr;
Fl_Value_Input* airFrictionInput = nullptr;
Fl_Value_Input* powderPowerInput = nullptr;
Fl_Value_Input* xInput = nullptr;
Fl_Value_Input* zInput = nullptr;
Fl_Value_Input* timeStepInput = nullptr;
Fl_Value_Output* timeTakenOutput = nullptr;
Fl_Check_Button* eulerButton = nullptr;
Fl_Check_Button* midpointButton = nullptr;
Fl_Check_Button* rk4Button = nullptr;

void recomputeCallback(Fl_Widget*, void*) {
  const float azimuth = static_cast<float>(azimuthInput->value());
  const float elevation = static_cast<float>(elevationInput->value());
  const float projectileMass = static_cast<float>(projectileMassInput->value());
  const float powderAmount = static_cast<float>(powderAmountInput->value());
  const float gravity = static_cast<float>(gravityInput->value());
  const float airFriction = static_cast<float>(airFrictionInput->value());
  const float powderPower = static_cast<float>(powderPowerInput->value());
  const float timeStep = static_cast<float>(timeStepInput->value());
  const float x = static_cast<float>(xInput->value());
  const float z = static_cast<float>(zInput->value());
  const bool euler = eulerButton->value() != 0;
  const bool midpoint = midpointButton->value() != 0;
  const bool rk4 = rk4Button->value() != 0;

  // Degrees to radians, the azimuth with its sign reversed; the panel's "X"
  // runs along the model's z axis and its "Z" along x.
  ballisticsApp.setParameters(ballisticsunits::modelAzimuth(azimuth),
                              ballisticsunits::modelElevation(elevation), projectileMass,
                              powderAmount, powderPower, gravity, airFriction,
                              ballisticsunits::modelTarget(x, z));
  ballisticsApp.setTimeStep(timeStep);
  ballisticsApp.setSchemeEnabled(2, rk4);
  ballisticsApp.setSchemeEnabled(0, euler);
  ballisticsApp.setSchemeEnabled(1, midpoint);

  Stopwatch t;
  t.start();
  ballisticsApp.runSimulation(argc, argv);
  timeTakenOutput->value(t.elapsedSeconds());

  ballisticsApp.view.redraw();
  window->redraw();
  printf("callback complete\n");
}

void exitCallback(Fl_Widget*, void*) { exit(0); }

}  // namespace ballisticspanel

void setUpBallistics(int argc, char** argv) {
  ballisticspanel::argc = argc;
  ballisticspanel::argv = argv;
  const BallisticsParams s = startUpBallisticsParams();
  ballisticsApp.setParameters(s.azimuth, s.elevation, s.projectileMass, s.powderAmount,
                              s.powderPower, s.gravity, s.airFriction, s.target);
  ballisticsApp.setTimeStep(s.timeStep);
  ballisticsApp.setSchemeEnabled(2, true);
  ballisticsApp.runSimulation(ballisticspanel::argc, ballisticspanel::argv);
}

Fl_Double_Window* makeBallisticsPanel() {
  using namespace ballisticspanel;
  const BallisticsParams& p = ballisticsApp.storedParams;

  window = new Fl_Double_Window(300, 350, "Ballistics Simulation");
  {
    Fl_Group* o = new Fl_Group(5, 25, 290, 70, "Gun Control");
    o->box(FL_PLASTIC_DOWN_BOX);
    o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    {
      azimuthInput = new Fl_Value_Input(70, 30, 40, 25, "Azimuth");
      azimuthInput->box(FL_THIN_DOWN_BOX);
      azimuthInput->textsize(kNumberSize);
      azimuthInput->maximum(360);
      azimuthInput->step(0.1);
      azimuthInput->value(ballisticsunits::panelAzimuth(p.azimuth));
      azimuthInput->callback(recomputeCallback);
      azimuthInput->when(FL_WHEN_CHANGED);
    }
    {
      elevationInput = new Fl_Value_Input(70, 60, 40, 25, "Elevation");
      elevationInput->box(FL_THIN_DOWN_BOX);
      elevationInput->textsize(kNumberSize);
      elevationInput->maximum(90);
      elevationInput->step(0.1);
      elevationInput->value(ballisticsunits::panelElevation(p.elevation));
      elevationInput->callback(recomputeCallback);
      elevationInput->when(FL_WHEN_CHANGED);
    }
    {
      projectileMassInput = new Fl_Value_Input(225, 30, 50, 25, "Projectile Mass");
      projectileMassInput->box(FL_THIN_DOWN_BOX);
      projectileMassInput->textsize(kNumberSize);
      projectileMassInput->maximum(100000);
      projectileMassInput->step(0.1);
      projectileMassInput->value(p.projectileMass);
      projectileMassInput->callback(recomputeCallback);
      projectileMassInput->when(FL_WHEN_CHANGED);
    }
    {
      powderAmountInput = new Fl_Value_Input(225, 60, 50, 25, "Powder Amount");
      powderAmountInput->box(FL_THIN_DOWN_BOX);
      powderAmountInput->textsize(kNumberSize);
      powderAmountInput->maximum(1000);
      powderAmountInput->step(0.1);
      powderAmountInput->value(p.powderAmount);
      powderAmountInput->callback(recomputeCallback);
      powderAmountInput->when(FL_WHEN_CHANGED);
    }
    o->end();
  }
  {
    Fl_Group* o = new Fl_Group(5, 120, 290, 70, "Physical constants");
    o->box(FL_PLASTIC_DOWN_BOX);
    o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    {
      gravityInput = new Fl_Value_Input(70, 125, 40, 25, "Gravity");
      gravityInput->box(FL_THIN_DOWN_BOX);
      gravityInput->textsize(kNumberSize);
      gravityInput->step(0.1);
      gravityInput->value(p.gravity);
      gravityInput->callback(recomputeCallback);
      gravityInput->when(FL_WHEN_CHANGED);
    }
    {
      airFrictionInput = new Fl_Value_Input(225, 125, 40, 25, "Air Friction");
      airFrictionInput->box(FL_THIN_DOWN_BOX);
      airFrictionInput->textsize(kNumberSize);
      airFrictionInput->maximum(1000);
      airFrictionInput->step(0.1);
      airFrictionInput->value(p.airFriction);
      airFrictionInput->callback(recomputeCallback);
      airFrictionInput->when(FL_WHEN_CHANGED);
    }
    {
      powderPowerInput = new Fl_Value_Input(150, 155, 70, 25, "Powder Power");
      powderPowerInput->box(FL_THIN_DOWN_BOX);
      powderPowerInput->textsize(kNumberSize);
      powderPowerInput->maximum(100000);
      powderPowerInput->step(1);
      powderPowerInput->value(p.powderPower);
      powderPowerInput->callback(recomputeCallback);
      powderPowerInput->when(FL_WHEN_CHANGED);
    }
    o->end();
  }
  {
    Fl_Group* o = new Fl_Group(5, 250, 290, 40, "Target");
    o->box(FL_PLASTIC_DOWN_BOX);
    o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    {
      xInput = new Fl_Value_Input(25, 255, 50, 25, "X");
      xInput->box(FL_THIN_DOWN_BOX);
      xInput->textsize(kNumberSize);
      xInput->maximum(1000);
      xInput->minimum(-1000);
      xInput->step(0.1);
      xInput->value(ballisticsunits::panelTargetX(p.target));
      xInput->callback(recomputeCallback);
      xInput->when(FL_WHEN_CHANGED);
    }
    {
      zInput = new Fl_Value_Input(90, 255, 50, 25, "Z");
      zInput->box(FL_THIN_DOWN_BOX);
      zInput->textsize(kNumberSize);
      zInput->maximum(1000);
      zInput->minimum(-1000);
      zInput->step(0.1);
      zInput->value(ballisticsunits::panelTargetZ(p.target));
      zInput->callback(recomputeCallback);
      zInput->when(FL_WHEN_CHANGED);
    }
    {
      Fl_Button* b = new Fl_Button(145, 255, 80, 25, "Recompute");
      b->callback(recomputeCallback);
    }
    {
      Fl_Button* b = new Fl_Button(230, 255, 50, 25, "Exit");
      b->callback(exitCallback);
    }
    o->end();
  }
  {
    Fl_Group* o = new Fl_Group(5, 310, 290, 35, "Timing");
    o->box(FL_PLASTIC_DOWN_BOX);
    o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    {
      // A new step alone starts nothing; the next recomputation uses it.
      timeStepInput = new Fl_Value_Input(80, 315, 40, 25, "Time Step");
      timeStepInput->box(FL_THIN_DOWN_BOX);
      timeStepInput->textsize(kNumberSize);
      timeStepInput->value(p.timeStep);
      timeStepInput->minimum(1e-12f);
    }
    {
      timeTakenOutput = new SecondsOutput(230, 315, 50, 25, "Time Taken");
      timeTakenOutput->box(FL_THIN_DOWN_BOX);
      timeTakenOutput->textsize(kNumberSize);
    }
    o->end();
  }
  {
    // The scheme switches: independent, any combination may be ticked.
    Fl_Group* o = new Fl_Group(5, 195, 290, 37);
    o->box(FL_PLASTIC_DOWN_BOX);
    {
      eulerButton = new Fl_Check_Button(60, 202, 20, 20, "Euler");
      eulerButton->down_box(FL_DOWN_BOX);
      eulerButton->align(Fl_Align(FL_ALIGN_LEFT));
      eulerButton->value(ballisticsApp.runEuler);
      eulerButton->callback(recomputeCallback);
      eulerButton->when(FL_WHEN_CHANGED);
    }
    {
      midpointButton = new Fl_Check_Button(160, 202, 20, 20, "Mid Point");
      midpointButton->down_box(FL_DOWN_BOX);
      midpointButton->align(Fl_Align(FL_ALIGN_LEFT));
      midpointButton->value(ballisticsApp.runMidpoint);
      midpointButton->callback(recomputeCallback);
      midpointButton->when(FL_WHEN_CHANGED);
    }
    {
      rk4Button = new Fl_Check_Button(235, 202, 20, 20, "RK4");
      rk4Button->down_box(FL_DOWN_BOX);
      rk4Button->align(Fl_Align(FL_ALIGN_LEFT));
      rk4Button->value(ballisticsApp.runRK4);
      rk4Button->callback(recomputeCallback);
      rk4Button->when(FL_WHEN_CHANGED);
    }
    o->end();
  }
  window->end();
  return window;
}

int runBallistics(int& argc, char** argv) {
  setUpBallistics(argc, argv);
  makeBallisticsPanel()->show();
  const int result = Fl::run();
  // Hiding the last window only queued its removal; send it to the display
  // now, or the window stays on screen while main waits for a key.
  Fl::flush();
  return result;
}
