// The viewer window's widget tree, its controls and its resize behaviour.
// Building and resizing widgets needs no display.

#include "viewerwindow.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EmptyView : CubeView {
  EmptyView() : CubeView(48, 29, 329, 329, "This is the cube_view") {}
  void drawScene() override {}
};

void expectGeometry(const Fl_Widget* w, int x, int y, int width, int height) {
  EXPECT_EQ(w->x(), x);
  EXPECT_EQ(w->y(), y);
  EXPECT_EQ(w->w(), width);
  EXPECT_EQ(w->h(), height);
}

class ViewerWindowTree : public ::testing::Test {
 protected:
  EmptyView* view = new EmptyView;
  ViewerWindow viewer{view};
  void TearDown() override { delete viewer.topWindow; }
};

TEST_F(ViewerWindowTree, WindowsAndGroupsNestInCreationOrder) {
  Fl_Double_Window* top = viewer.topWindow;
  EXPECT_STREQ(top->label(), "Physically Based Simulation");
  EXPECT_EQ(top->w(), 415);
  EXPECT_EQ(top->h(), 405);
  EXPECT_EQ(top->box(), FL_UP_BOX);
  EXPECT_EQ(top->labelsize(), 12);
  EXPECT_EQ(top->user_data(), &viewer);
  EXPECT_EQ(top->resizable(), top);
  EXPECT_FALSE(top->shown());
  EXPECT_EQ(Fl_Group::current(), nullptr);  // every group was ended

  ASSERT_EQ(top->children(), 1);
  Fl_Group* outer = top->child(0)->as_group();
  ASSERT_NE(outer, nullptr);
  expectGeometry(outer, 5, 3, 374, 399);
  ASSERT_EQ(outer->children(), 4);
  EXPECT_EQ(outer->child(0), viewer.vControlsGroup);
  EXPECT_EQ(outer->child(1), viewer.hControlsGroup);
  EXPECT_EQ(outer->child(2), viewer.viewAreaGroup);
  EXPECT_EQ(outer->child(3), viewer.zoomSlider);
  EXPECT_EQ(outer->resizable(), viewer.viewAreaGroup);

  expectGeometry(viewer.vControlsGroup, 5, 100, 37, 192);
  ASSERT_EQ(viewer.vControlsGroup->children(), 2);
  EXPECT_EQ(viewer.vControlsGroup->child(0), viewer.vRotRoller);
  EXPECT_EQ(viewer.vControlsGroup->child(1), viewer.vPanSlider);
  expectGeometry(viewer.hControlsGroup, 120, 362, 190, 40);
  ASSERT_EQ(viewer.hControlsGroup->children(), 2);
  EXPECT_EQ(viewer.hControlsGroup->child(0), viewer.hPanSlider);
  EXPECT_EQ(viewer.hControlsGroup->child(1), viewer.hRotRoller);

  expectGeometry(viewer.viewAreaGroup, 46, 27, 333, 333);
  ASSERT_EQ(viewer.viewAreaGroup->children(), 2);
  EXPECT_EQ(viewer.viewAreaGroup->child(0), viewer.viewFrameBox);
  EXPECT_EQ(viewer.viewAreaGroup->child(1), view);  // above the frame
  EXPECT_EQ(viewer.viewAreaGroup->resizable(), view);
  EXPECT_EQ(viewer.hostedView, view);
  expectGeometry(viewer.viewFrameBox, 46, 27, 333, 333);
  EXPECT_EQ(viewer.viewFrameBox->box(), FL_DOWN_FRAME);
  EXPECT_EQ(viewer.viewFrameBox->color(), 4u);
  EXPECT_EQ(viewer.viewFrameBox->selection_color(), 69u);

  expectGeometry(view, 48, 29, 329, 329);
  EXPECT_STREQ(view->label(), "This is the cube_view");
  EXPECT_EQ(view->box(), FL_NO_BOX);
  EXPECT_EQ(view->color(), FL_BACKGROUND_COLOR);
  EXPECT_EQ(view->selection_color(), FL_BACKGROUND_COLOR);
  EXPECT_EQ(view->labeltype(), FL_NORMAL_LABEL);
  EXPECT_EQ(view->labelfont(), FL_HELVETICA);
  EXPECT_EQ(view->labelsize(), 14);
  EXPECT_EQ(view->labelcolor(), FL_FOREGROUND_COLOR);
  EXPECT_EQ(view->align(), FL_ALIGN_INSIDE);
  EXPECT_EQ(view->when(), FL_WHEN_RELEASE);
}

TEST_F(ViewerWindowTree, ControlsCarryTheirRangesAndHiddenLabels) {
  struct Expected {
    Fl_Valuator* control;
    const char* label;
    Fl_Labeltype labeltype;
    int type;
    double minimum, maximum, step, value;
    Fl_Align align;
    int x, y, w, h;
  };
  const Expected controls[] = {
      {viewer.vRotRoller, "V Rot", FL_NO_LABEL, FL_VERTICAL, -180, 180, 1, 0, FL_ALIGN_WRAP, 5, 100,
       17, 186},
      {viewer.vPanSlider, "V Pan", FL_NO_LABEL, FL_VERT_NICE_SLIDER, -25, 25, 0.1, 0,
       FL_ALIGN_CENTER, 25, 100, 17, 186},
      {viewer.hPanSlider, "H Pan", FL_NO_LABEL, FL_HOR_NICE_SLIDER, 25, -25, 0.1, 0,
       FL_ALIGN_INSIDE, 122, 364, 186, 17},
      {viewer.hRotRoller, "H Rotation", FL_NO_LABEL, FL_HORIZONTAL, -180, 180, 1, 0, FL_ALIGN_RIGHT,
       122, 383, 186, 17},
      {viewer.zoomSlider, "Zoom", FL_NORMAL_LABEL, FL_HOR_NICE_SLIDER, 0.1, 10, 0.01, 10,
       FL_ALIGN_LEFT, 106, 3, 227, 19},
  };
  for (const Expected& e : controls) {
    SCOPED_TRACE(e.label);
    EXPECT_EQ(std::string(e.control->label()), e.label);
    EXPECT_EQ(e.control->labeltype(), e.labeltype);
    EXPECT_EQ(e.control->type(), e.type);
    EXPECT_EQ(e.control->minimum(), e.minimum);
    EXPECT_EQ(e.control->maximum(), e.maximum);
    EXPECT_EQ(e.control->step(), e.step);
    EXPECT_EQ(e.control->value(), e.value);
    EXPECT_EQ(e.control->align(), e.align);
    EXPECT_EQ(e.control->labelsize(), 12);
    EXPECT_EQ(e.control->when(), FL_WHEN_CHANGED);
    EXPECT_EQ(e.control->user_data(), nullptr);
    expectGeometry(e.control, e.x, e.y, e.w, e.h);
  }
  for (Fl_Widget* slider :
       {static_cast<Fl_Widget*>(viewer.vPanSlider), static_cast<Fl_Widget*>(viewer.hPanSlider),
        static_cast<Fl_Widget*>(viewer.zoomSlider)})
    EXPECT_EQ(slider->selection_color(), FL_DARK_BLUE);
  EXPECT_EQ(viewer.zoomSlider->labelfont(), FL_HELVETICA_BOLD);
  EXPECT_EQ(viewer.zoomSlider->textfont(), FL_HELVETICA_BOLD);
}

TEST_F(ViewerWindowTree, EnlargingTheWindowGrowsTheViewAndKeepsControlThickness) {
  viewer.topWindow->resize(0, 0, 830, 810);
  const Fl_Widget* frame = viewer.viewFrameBox;
  EXPECT_GT(view->w(), 329 + 300);
  EXPECT_GT(view->h(), 329 + 300);
  EXPECT_EQ(frame->x(), view->x() - 2);
  EXPECT_EQ(frame->y(), view->y() - 2);
  EXPECT_EQ(frame->w(), view->w() + 4);
  EXPECT_EQ(frame->h(), view->h() + 4);
  EXPECT_EQ(viewer.vControlsGroup->w(), 37);
  EXPECT_EQ(viewer.vRotRoller->w(), 17);
  EXPECT_GT(viewer.vRotRoller->h(), 186);
  EXPECT_EQ(viewer.hControlsGroup->h(), 40);
  EXPECT_EQ(viewer.hRotRoller->h(), 17);
  EXPECT_GT(viewer.hRotRoller->w(), 186);
  EXPECT_EQ(viewer.zoomSlider->h(), 19);
  EXPECT_GT(viewer.zoomSlider->w(), 227);
}

}  // namespace
