#include "viewerwindow.h"

#ifdef _WIN32
#include <FL/x.H>
#endif

void ViewerWindow::cb_vRotRoller_i(Fl_Roller* o, void*) {
  hostedView->setVRotAngle(static_cast<float>(o->value()));
  hostedView->redraw();
}
void ViewerWindow::cb_vRotRoller(Fl_Widget* o, void* v) {
  // roller -> vControlsGroup -> outer group -> topWindow
  static_cast<ViewerWindow*>(o->parent()->parent()->parent()->user_data())
      ->cb_vRotRoller_i(static_cast<Fl_Roller*>(o), v);
}

void ViewerWindow::cb_vPanSlider_i(Fl_Slider* o, void*) {
  hostedView->setVPanOffset(static_cast<float>(o->value()));
  hostedView->redraw();
}
void ViewerWindow::cb_vPanSlider(Fl_Widget* o, void* v) {
  static_cast<ViewerWindow*>(o->parent()->parent()->parent()->user_data())
      ->cb_vPanSlider_i(static_cast<Fl_Slider*>(o), v);
}

void ViewerWindow::cb_hPanSlider_i(Fl_Slider* o, void*) {
  hostedView->setHPanOffset(static_cast<float>(o->value()));
  hostedView->redraw();
}
void ViewerWindow::cb_hPanSlider(Fl_Widget* o, void* v) {
  // slider -> hControlsGroup -> outer group -> topWindow
  static_cast<ViewerWindow*>(o->parent()->parent()->parent()->user_data())
      ->cb_hPanSlider_i(static_cast<Fl_Slider*>(o), v);
}

void ViewerWindow::cb_hRotRoller_i(Fl_Roller* o, void*) {
  hostedView->setHRotAngle(static_cast<float>(o->value()));
  hostedView->redraw();
}
void ViewerWindow::cb_hRotRoller(Fl_Widget* o, void* v) {
  static_cast<ViewerWindow*>(o->parent()->parent()->parent()->user_data())
      ->cb_hRotRoller_i(static_cast<Fl_Roller*>(o), v);
}

void ViewerWindow::cb_zoomSlider_i(Fl_Value_Slider* o, void*) {
  hostedView->zoomFactor = o->value();
  hostedView->redraw();
}
void ViewerWindow::cb_zoomSlider(Fl_Widget* o, void* v) {
  // slider -> outer group -> topWindow
  static_cast<ViewerWindow*>(o->parent()->parent()->user_data())
      ->cb_zoomSlider_i(static_cast<Fl_Value_Slider*>(o), v);
}

ViewerWindow::ViewerWindow(CubeView* view) {
  {
    topWindow = new Fl_Double_Window(415, 405, "Physically Based Simulation");
    topWindow->box(FL_UP_BOX);
    topWindow->labelsize(12);
    topWindow->user_data(static_cast<void*>(this));
    {
      Fl_Group* outerGroup = new Fl_Group(5, 3, 374, 399);
      {
        vControlsGroup = new Fl_Group(5, 100, 37, 192);
        {
          vRotRoller = new Fl_Roller(5, 100, 17, 186, "V Rot");
          vRotRoller->labeltype(FL_NO_LABEL);
          vRotRoller->labelsize(12);
          vRotRoller->minimum(-180);
          vRotRoller->maximum(180);
          vRotRoller->step(1);
          vRotRoller->callback(cb_vRotRoller);
          vRotRoller->align(Fl_Align(FL_ALIGN_WRAP));
        }
        {
          vPanSlider = new Fl_Slider(25, 100, 17, 186, "V Pan");
          vPanSlider->type(FL_VERT_NICE_SLIDER);
          vPanSlider->selection_color(FL_DARK_BLUE);
          vPanSlider->labeltype(FL_NO_LABEL);
          vPanSlider->labelsize(12);
          vPanSlider->minimum(-25);
          vPanSlider->maximum(25);
          vPanSlider->step(0.1);
          vPanSlider->callback(cb_vPanSlider);
          vPanSlider->align(Fl_Align(FL_ALIGN_CENTER));
        }
        vControlsGroup->end();
      }
      {
        hControlsGroup = new Fl_Group(120, 362, 190, 40);
        {
          hPanSlider = new Fl_Slider(122, 364, 186, 17, "H Pan");
          hPanSlider->type(FL_HOR_NICE_SLIDER);
          hPanSlider->selection_color(FL_DARK_BLUE);
          hPanSlider->labeltype(FL_NO_LABEL);
          hPanSlider->labelsize(12);
          // Runs from 25 at its left end to -25 at its right end.
          hPanSlider->minimum(25);
          hPanSlider->maximum(-25);
          hPanSlider->step(0.1);
          hPanSlider->callback(cb_hPanSlider);
          hPanSlider->align(Fl_Align(FL_ALIGN_INSIDE));
        }
        {
          hRotRoller = new Fl_Roller(122, 383, 186, 17, "H Rotation");
          hRotRoller->type(FL_HORIZONTAL);
          hRotRoller->labeltype(FL_NO_LABEL);
          hRotRoller->labelsize(12);
          hRotRoller->minimum(-180);
          hRotRoller->maximum(180);
          hRotRoller->step(1);
          hRotRoller->callback(cb_hRotRoller);
          hRotRoller->align(Fl_Align(FL_ALIGN_RIGHT));
        }
        hControlsGroup->end();
      }
      {
        viewAreaGroup = new Fl_Group(46, 27, 333, 333);
        {
          viewFrameBox = new Fl_Box(46, 27, 333, 333);
          viewFrameBox->box(FL_DOWN_FRAME);
          viewFrameBox->color(Fl_Color(4));
          viewFrameBox->selection_color(Fl_Color(69));
        }
        {
          hostedView = view;
          hostedView->box(FL_NO_BOX);
          hostedView->color(FL_BACKGROUND_COLOR);
          hostedView->selection_color(FL_BACKGROUND_COLOR);
          hostedView->labeltype(FL_NORMAL_LABEL);
          hostedView->labelfont(FL_HELVETICA);
          hostedView->labelsize(14);
          hostedView->labelcolor(FL_FOREGROUND_COLOR);
          hostedView->align(Fl_Align(FL_ALIGN_INSIDE));
          hostedView->when(FL_WHEN_RELEASE);
          viewAreaGroup->add(hostedView);
          viewAreaGroup->resizable(hostedView);
        }
        viewAreaGroup->end();
        outerGroup->resizable(viewAreaGroup);
      }
      {
        zoomSlider = new Fl_Value_Slider(106, 3, 227, 19, "Zoom");
        zoomSlider->type(FL_HOR_NICE_SLIDER);
        zoomSlider->selection_color(FL_DARK_BLUE);
        zoomSlider->labelfont(FL_HELVETICA_BOLD);
        zoomSlider->labelsize(12);
        zoomSlider->minimum(0.1);
        zoomSlider->maximum(10);
        zoomSlider->step(0.01);
        zoomSlider->value(10);
        zoomSlider->textfont(FL_HELVETICA_BOLD);
        zoomSlider->callback(cb_zoomSlider);
        zoomSlider->align(Fl_Align(FL_ALIGN_LEFT));
      }
      outerGroup->end();
    }
    topWindow->end();
  }
  topWindow->resizable(topWindow);
}

void ViewerWindow::show(int argc, char** argv) {
#ifdef _WIN32
  // Windows gives the keyboard to a window that the toolkit brings to the
  // front: every recomputation would take it from the panel, after the first
  // key of a number typed there. Raised as the X build raises it, the viewer
  // leaves the focus where it is.
  if (topWindow->shown() && !IsIconic(fl_xid(topWindow))) {
    SetWindowPos(fl_xid(topWindow), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
#endif
  topWindow->show(argc, argv);
}
