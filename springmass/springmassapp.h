#pragma once

// The spring-mass mode: the application object that owns the model, its scene
// view and the viewer window, the set-up run from main, and the control panel
// "Spring Mass Simulation" with its playback controls.

#include "springmasssim.h"
#include "springmassview.h"
#include "viewerwindow.h"

class Fl_Double_Window;
class Fl_Round_Button;
class Fl_Value_Input;
class Fl_Value_Output;
class Fl_Widget;

class SpringMassApp {
 public:
  SpringMassApp();

  // 0 Euler, 1 Midpoint, 2 RK4; any other number changes nothing.
  void setSchemeEnabled(int scheme, bool on);
  // Prints the parameter line, stores one spring with these values in
  // storedParams and copies the whole block into the model (which also
  // resets its simulated time to 0).
  void setParameters(float mass, float gravity, float ks, float kd, float restLength);
  // Sets the step of the model and of storedParams, then prints it.
  void setTimeStep(float timeStep);
  // Computes the motion with the first enabled scheme (Euler, Midpoint, RK4)
  // into the view, rewinds the view and the "Playback" slider to the first
  // sample and shows the viewer window. With no scheme enabled the view is left empty. Returns 0.
  int runSimulation(int argc, char** argv);

  SpringMassSim sim;
  SpringMassParams storedParams;  // last set; the panel starts from it
  bool runEuler;
  bool runMidpoint;
  bool runRK4;
  SpringMassView view;
  ViewerWindow viewer;  // hosts view
};

// The one spring-mass application object, built during static initialisation
// after the ballistics one.
extern SpringMassApp springMassApp;

// The spring-mass mode, called by main for any answer but 0: the first
// computation with RK4 and the viewer window, then the panel and the event
// loop. Returns when the last window has closed.
int runSpringMass(int& argc, char** argv);

// Steps of runSpringMass before the panel: keeps argc and argv for later
// recomputations, selects RK4 alone and computes the first motion (which
// shows the viewer window).
void setUpSpringMass(int argc, char** argv);

// Builds the panel "Spring Mass Simulation" from storedParams and the scheme
// flags, without showing it, points the playback references at its slider,
// its "Speed" input and the view, and returns its window.
Fl_Double_Window* makeSpringMassPanel();

// The panel's widgets and the arguments its recomputations pass on, set by
// setUpSpringMass and makeSpringMassPanel; and the panel's callbacks. The
// "Playback" slider, the "Speed" input and their callbacks are those of
// playback.h.
namespace springmasspanel {
extern int argc;
extern char** argv;
extern Fl_Double_Window* window;
extern Fl_Value_Input* massInput;
extern Fl_Value_Input* springKsInput;
extern Fl_Value_Input* restLengthInput;
extern Fl_Value_Input* gravityInput;
extern Fl_Value_Input* springKdInput;
extern Fl_Round_Button* eulerButton;
extern Fl_Round_Button* midpointButton;
extern Fl_Round_Button* rk4Button;
extern Fl_Value_Input* timeStepInput;
extern Fl_Value_Output* timeTakenOutput;

// "Recompute": reads the panel, installs it and computes again.
void recomputeCallback(Fl_Widget*, void*);
// "Exit": ends the process with status 0.
void exitCallback(Fl_Widget*, void*);
// A scheme button was clicked: when it is now on, the other two go off, so at
// most one scheme is selected; clicking the one that is on leaves none.
template <int Scheme>
void schemeButtonCallback(Fl_Widget*, void*);
}  // namespace springmasspanel
