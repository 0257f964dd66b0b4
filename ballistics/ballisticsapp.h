#pragma once

// The ballistics mode: the application object that owns the model, its scene
// view and the viewer window, the set-up run from main, and the control panel
// "Ballistics Simulation".

#include "ballisticssim.h"
#include "ballisticsview.h"
#include "vector3f.h"
#include "viewerwindow.h"

class Fl_Check_Button;
class Fl_Double_Window;
class Fl_Value_Input;
class Fl_Value_Output;
class Fl_Widget;

class BallisticsApp {
 public:
  BallisticsApp();

  // Prints the parameter line, stores the values in storedParams and copies
  // the whole record into the model. Angles in radians.
  void setParameters(float azimuth, float elevation, float projectileMass, float powderAmount,
                     float powderPower, float gravity, float airFriction, const Vector3f& target);
  // Sets the step of the model and of storedParams, then prints it.
  void setTimeStep(float timeStep);
  // index 0 Euler, 1 Midpoint, 2 RK4; any other index changes nothing.
  void setSchemeEnabled(int index, bool on);
  // Flies the shot once per enabled scheme, hands every trajectory and the
  // target to the view, and shows the viewer window. Returns 0.
  int runSimulation(int argc, char** argv);

  BallisticsSim sim;
  BallisticsParams storedParams;  // last installed; the panel starts from it
  bool runEuler;
  bool runMidpoint;
  bool runRK4;
  BallisticsView view;
  ViewerWindow viewer;  // hosts view
};

// The one ballistics application object, built during static initialisation
// before the spring-mass one.
extern BallisticsApp ballisticsApp;

// The ballistics mode, called by main for the answer 0: start-up parameters,
// the first three flights and the viewer window, then the panel and the
// event loop. Returns when the last window has closed.
int runBallistics(int& argc, char** argv);

// Steps of runBallistics before the panel: keeps argc and argv for later
// recomputations, installs the start-up parameters and computes the first
// flights (which shows the viewer window).
void setUpBallistics(int argc, char** argv);

// Builds the panel "Ballistics Simulation" from storedParams and the scheme
// flags, without showing it, and returns its window.
Fl_Double_Window* makeBallisticsPanel();

// The panel's widgets and the arguments its recomputations pass on, set by
// setUpBallistics and makeBallisticsPanel; and the panel's callbacks.
namespace ballisticspanel {
extern int argc;
extern char** argv;
extern Fl_Double_Window* window;
extern Fl_Value_Input* azimuthInput;
extern Fl_Value_Input* elevationInput;
extern Fl_Value_Input* projectileMassInput;
extern Fl_Value_Input* powderAmountInput;
extern Fl_Value_Input* gravityInput;
extern Fl_Value_Input* airFrictionInput;
extern Fl_Value_Input* powderPowerInput;
extern Fl_Value_Input* xInput;  // the target's z
extern Fl_Value_Input* zInput;  // the target's x
extern Fl_Value_Input* timeStepInput;
extern Fl_Value_Output* timeTakenOutput;
extern Fl_Check_Button* eulerButton;
extern Fl_Check_Button* midpointButton;
extern Fl_Check_Button* rk4Button;

// Reads the whole panel, installs it and recomputes every enabled scheme.
void recomputeCallback(Fl_Widget*, void*);
// "Exit": ends the process with status 0.
void exitCallback(Fl_Widget*, void*);
}  // namespace ballisticspanel
