// Every number the panels show, at their fixed sizes, is readable whole: the
// start-up values, a typed time step or speed, and every "Time Taken". Checked
// twice: its text width in the field's font against the room FLTK gives text
// in the field, and on screen against the same text drawn in a wide field.

// clang-format off
#include <gtest/gtest.h>  // before fl_draw.H, whose X11 headers define None and Bool
// clang-format on
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <FL/fl_draw.H>

#include <memory>
#include <string>

#include "ballisticsapp.h"
#include "panels_support.h"
#include "playback.h"
#include "secondsoutput.h"
#include "springmassapp.h"

namespace {

// The text a field shows.
std::string shown(Fl_Valuator* field) {
  if (auto* input = dynamic_cast<Fl_Value_Input*>(field)) return input->input.value();
  char text[128];
  field->format(text);
  return text;
}

Fl_Font font(Fl_Valuator* field) {
  auto* input = dynamic_cast<Fl_Value_Input*>(field);
  return input ? input->textfont() : static_cast<Fl_Value_Output*>(field)->textfont();
}
Fl_Fontsize size(Fl_Valuator* field) {
  auto* input = dynamic_cast<Fl_Value_Input*>(field);
  return input ? input->textsize() : static_cast<Fl_Value_Output*>(field)->textsize();
}

// The width in which a field shows text without scrolling or cutting it: an
// output draws inside its frame; an input keeps a few pixels free beside the
// text inside its frame (4 in FLTK 1.3: a longer text scrolls by the excess).
int room(Fl_Valuator* field) {
  const int inside = field->w() - Fl::box_dw(field->box());
  return dynamic_cast<Fl_Value_Input*>(field) ? inside - 4 : inside;
}

// Columns of the field's inside, relative to the field's left edge, that hold
// text (dark pixels) in the picture of its window; {-1, -1} when none.
std::pair<int, int> inkColumns(const panels::Picture& p, Fl_Widget* field) {
  const int dx = Fl::box_dx(field->box()), dy = Fl::box_dy(field->box());
  std::pair<int, int> ink{-1, -1};
  for (int x = field->x() + dx; x < field->x() + field->w() - dx; ++x) {
    for (int y = field->y() + dy; y < field->y() + field->h() - dy; ++y) {
      const unsigned char* c = p.at(x, y);
      if (c[0] + c[1] + c[2] < 3 * 110) {
        if (ink.first < 0) ink.first = x - field->x();
        ink.second = x - field->x();
        break;
      }
    }
  }
  return ink;
}

// The same text drawn in a field of the same kind 380 pixels wide: where its
// ink lies when nothing scrolls or cuts it.
std::pair<int, int> unclippedInk(Fl_Valuator* field, const std::string& text) {
  std::unique_ptr<Fl_Double_Window> window(new Fl_Double_Window(800, 0, 400, 40, "reference"));
  Fl_Valuator* wide;
  if (dynamic_cast<Fl_Value_Input*>(field)) {
    auto* input = new Fl_Value_Input(10, 5, 380, field->h());
    input->textfont(font(field));
    input->textsize(size(field));
    input->input.value(text.c_str());
    wide = input;
  } else {
    auto* output = new SecondsOutput(10, 5, 380, field->h());
    output->textfont(font(field));
    output->textsize(size(field));
    output->value(field->value());
    wide = output;
  }
  wide->box(field->box());
  window->end();
  window->show();
  const panels::Picture p = panels::grab(window.get());
  return inkColumns(p, wide);
}

// The field's text fits: by its width, and on screen.
void expectWhole(Fl_Valuator* field, Fl_Window* window) {
  const std::string text = shown(field);
  SCOPED_TRACE(std::string(field->label() ? field->label() : "") + " showing \"" + text + "\"");
  fl_font(font(field), size(field));
  EXPECT_LE(fl_width(text.c_str()), room(field));

  Fl::focus(nullptr);  // no text cursor among the ink
  field->redraw();
  const panels::Picture p = panels::grab(window);
  const std::pair<int, int> ink = inkColumns(p, field);
  ASSERT_GE(ink.first, 0) << "no text on screen";
  EXPECT_EQ(ink, unclippedInk(field, text));
}

struct Panel {
  Fl_Window* window;
  std::vector<Fl_Valuator*> fields;
  Fl_Value_Output* timeTaken;
  Fl_Value_Input* timeStep;
  void (*recompute)(Fl_Widget*, void*);
};

Panel ballistics() {
  using namespace ballisticspanel;
  return {window,
          {azimuthInput, elevationInput, projectileMassInput, powderAmountInput, gravityInput,
           airFrictionInput, powderPowerInput, xInput, zInput, timeStepInput, timeTakenOutput},
          timeTakenOutput,
          timeStepInput,
          recomputeCallback};
}

Panel springMass() {
  using namespace springmasspanel;
  return {window,
          {massInput, springKsInput, restLengthInput, gravityInput, springKdInput, timeStepInput,
           timeTakenOutput, ::speedInput},
          timeTakenOutput,
          timeStepInput,
          recomputeCallback};
}

TEST(ReadableNumbers, StartUpValuesAndTheTimeOfARecomputation) {
  for (const Panel& panel : {ballistics(), springMass()}) {
    for (Fl_Valuator* field : panel.fields) expectWhole(field, panel.window);
    panels::consoleOf([&] { panel.recompute(nullptr, nullptr); });
    EXPECT_GT(panel.timeTaken->value(), 0.0);
    expectWhole(panel.timeTaken, panel.window);
  }
}

// A time step or speed typed as 0.0001 stays as typed; every duration from
// a tenth of a microsecond to hours shows in seconds.
TEST(ReadableNumbers, TypedStepsAndSpeedsAndAnyTimeTaken) {
  for (const Panel& panel : {ballistics(), springMass()}) {
    panel.timeStep->input.value("0.0001");
    panel.timeStep->input.position(6);
    expectWhole(panel.timeStep, panel.window);
    panel.timeStep->value(0.1);
    for (double seconds : {1e-7, 8.59211e-05, 0.000999, 0.00123456, 0.0987654, 0.5, 9.87654,
                           12.3456, 999.9, 12345.6}) {
      panel.timeTaken->value(seconds);
      expectWhole(panel.timeTaken, panel.window);
    }
    panel.timeTaken->value(0);
  }
  ::speedInput->input.value("0.0001");
  expectWhole(::speedInput, springmasspanel::window);
  ::speedInput->value(0.0001);
}

// What a user reads in "Time Taken".
TEST(ReadableNumbers, TimeTakenInSeconds) {
  char text[128];
  const std::pair<double, const char*> cases[] = {
      {0, "0"},     {8.59211e-05, "8.59e-5"}, {1e-7, "1.00e-7"}, {0.00123456, "0.00123"},
      {0.5, "0.5"}, {12.3456, "12.3"},        {999.9, "1e3"},    {12345.6, "1.23e4"}};
  for (const auto& [seconds, expected] : cases) {
    formatSeconds(seconds, text, sizeof text);
    EXPECT_STREQ(text, expected) << seconds;
  }
}

}  // namespace
