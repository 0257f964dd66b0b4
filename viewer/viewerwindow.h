#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Roller.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Slider.H>

#include "cubeview.h"

// The window "Physically Based Simulation": hosts one CubeView and drives its
// camera with two rollers (rotation about X and Y), two pan sliders and a zoom
// slider. It knows nothing of the simulations. The widgets belong to the
// toolkit's widget tree and live until the process ends.
class ViewerWindow {
 public:
  // Builds the whole (hidden) widget tree around `view`, which is inserted into
  // the framed view area but not owned.
  explicit ViewerWindow(CubeView* view);
  // The window's user data points back at this object: it is never copied.
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

  // Shows the window, applying the toolkit's standard command-line options;
  // brings it to the front if it is already shown.
  void show(int argc, char** argv);

  Fl_Double_Window* topWindow;
  Fl_Group* vControlsGroup;
  Fl_Roller* vRotRoller;
  Fl_Slider* vPanSlider;
  Fl_Group* hControlsGroup;
  Fl_Slider* hPanSlider;
  Fl_Roller* hRotRoller;
  Fl_Group* viewAreaGroup;
  Fl_Box* viewFrameBox;
  CubeView* hostedView;
  Fl_Value_Slider* zoomSlider;

 private:
  // Each control's callback finds this object through topWindow's user data
  // and passes the control to its handler, which sets one camera field of the
  // hosted view and repaints it.
  static void cb_vRotRoller(Fl_Widget* o, void* v);
  void cb_vRotRoller_i(Fl_Roller* o, void* v);
  static void cb_vPanSlider(Fl_Widget* o, void* v);
  void cb_vPanSlider_i(Fl_Slider* o, void* v);
  static void cb_hPanSlider(Fl_Widget* o, void* v);
  void cb_hPanSlider_i(Fl_Slider* o, void* v);
  static void cb_hRotRoller(Fl_Widget* o, void* v);
  void cb_hRotRoller_i(Fl_Roller* o, void* v);
  static void cb_zoomSlider(Fl_Widget* o, void* v);
  void cb_zoomSlider_i(Fl_Value_Slider* o, void* v);
};
