// A monkey in the panels: thousands of random edits through the widgets of
// both panels and both viewer windows (value() then do_callback(), and the
// buttons), with ordinary and hostile values, interleaved with playback,
// Pause and Recompute, some of them nested inside a running playback. No
// edit may crash, trip a sanitizer or hang; after each recomputation the view
// must show what the panel says. At the end the defaults are typed back and
// every window must show its start-up picture again, pixel for pixel.
//
// Reproducible: PBSIM_MONKEY_SEED and PBSIM_MONKEY_EDITS choose the run (the
// seed is printed); a failure, a crash or a hang prints the seed and every
// edit made so far. Playback frames are counted in event waits, not in time,
// so the same seed makes the same edits in the same order.

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ballisticsapp.h"
#include "panels_support.h"
#include "playback.h"
#include "springmassapp.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build runs several times slower; fewer edits keep it well
// under a minute.
constexpr int kDefaultEdits = 1500;
#else
constexpr int kDefaultEdits = 5000;
#endif
constexpr unsigned long long kDefaultSeed = 20261208;
// An edit still running after this long is taken for a hang.
constexpr int kHangSeconds = 120;

using Clock = std::chrono::steady_clock;

// ---- The record of the run, printed on any failure -------------------------

std::mutex logMutex;
std::vector<std::string> editLog;
unsigned long long seed = kDefaultSeed;
int edits = kDefaultEdits;
std::atomic<bool> dumped{false};

void dumpLog(const char* why) {
  if (dumped.exchange(true)) return;
  std::lock_guard<std::mutex> lock(logMutex);
  std::fprintf(stderr,
               "\nmonkey: %s; seed %llu, %d edits asked for.\n"
               "Run again with PBSIM_MONKEY_SEED=%llu PBSIM_MONKEY_EDITS=%d. What was done, "
               "in order (indented: inside a playback):\n",
               why, seed, edits, seed, edits);
  for (const std::string& line : editLog) std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void onFatalSignal(int sig) {
  dumpLog(sig == SIGABRT ? "abort" : "crash");
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

#if defined(__SANITIZE_ADDRESS__)
void onSanitizerDeath() { dumpLog("sanitizer report"); }
#endif

// ---- Values -----------------------------------------------------------------

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kHostile[] = {0.0,  -0.0,  1e-30, -1e-30, 1e30, -1e30, kNaN,
                           kInf, -kInf, 1e-45, 3.5e38, -1.0, -0.1};

// An input with the range of values a user would type, and its start-up
// value.
struct Field {
  const char* name;
  Fl_Valuator* widget;
  double low, high;
  double start;
};

class Monkey {
 public:
  explicit Monkey(unsigned long long s) : rng_(s) {}

  // One random edit; depth counts the playbacks it runs inside.
  void edit(int depth);

  int playbacks = 0;
  int nested = 0;

 private:
  double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool chance(double p) { return uniform(0, 1) < p; }
  double hostile() { return kHostile[pick(int(std::size(kHostile)))]; }
  static bool isHostile(double v) {
    for (double h : kHostile)
      if (std::memcmp(&h, &v, sizeof v) == 0) return true;
    return false;
  }
  double valueFor(const Field& f) {
    if (chance(0.3)) return hostile();
    return chance(0.2) ? f.start : uniform(f.low, f.high);
  }

  void note(int depth, const std::string& text) {
    std::lock_guard<std::mutex> lock(logMutex);
    editLog.push_back(std::to_string(editLog.size()) + std::string(2 * depth + 1, ' ') + text);
  }
  static std::string show(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
  }

  // Runs a callback that recomputes, timing it, then checks what the view
  // shows against the panel.
  void recompute(Fl_Widget* w, bool ballistics);
  void checkBallistics();
  void checkSpringMass();
  // Play or a Speed change, with a plan: after some frames a nested edit, a
  // few frames later Pause.
  void playback(int depth, Fl_Widget* w);

  std::mt19937_64 rng_;
};

// ---- Plans for the running playbacks, counted in event waits ----------------

struct Plan {
  int nestedAt;
  int pauseAt;
  int frame = 0;
};
std::vector<Plan> plans;
Monkey* theMonkey = nullptr;

void nestedEdit(void*) { theMonkey->edit(int(plans.size())); }

// Called by the toolkit at every event wait.
void onWait(void*) {
  if (plans.empty()) return;
  Plan& p = plans.back();
  ++p.frame;
  // Run from a timeout at the next wait, where nested event waits still
  // reach this check.
  if (p.frame == p.nestedAt) Fl::add_timeout(0.0, nestedEdit);
  if (p.frame >= p.pauseAt) pauseCallback(nullptr, nullptr);
}

// Keeps every event wait short: a "Speed" of 10 or 1e30 waits that long for
// an event in each frame.
void tick(void*) { Fl::repeat_timeout(0.002, tick); }

// ---- The edits ---------------------------------------------------------------

std::vector<Field> ballisticsFields() {
  using namespace ballisticspanel;
  return {{"Azimuth", azimuthInput, -180, 360, 10},
          {"Elevation", elevationInput, -10, 90, 45},
          {"Projectile Mass", projectileMassInput, 1, 5000, 1000},
          {"Powder Amount", powderAmountInput, 0.1, 5, 1},
          {"Gravity", gravityInput, -30, -0.5, -9.8},
          {"Air Friction", airFrictionInput, 0, 300, 50},
          {"Powder Power", powderPowerInput, 100, 50000, 10000},
          {"X", xInput, -50, 50, 10},
          {"Z", zInput, -50, 50, 0},
          {"Time Step", timeStepInput, 0.001, 0.5, 0.1}};
}

std::vector<Field> springMassFields() {
  using namespace springmasspanel;
  return {{"Mass", massInput, 0.1, 50, 5},           {"Spring Ks", springKsInput, 0, 200, 15},
          {"Rest Length", restLengthInput, 0, 5, 1}, {"Gravity", gravityInput, -30, 30, -9.8},
          {"Spring Kd", springKdInput, 0, 20, 1},    {"Time Step", timeStepInput, 0.001, 0.5, 0.1}};
}

std::vector<Field> viewerFields(ViewerWindow& v) {
  return {{"V Rot", v.vRotRoller, -180, 180, 0},
          {"V Pan", v.vPanSlider, -25, 25, 0},
          {"H Pan", v.hPanSlider, -25, 25, 0},
          {"H Rotation", v.hRotRoller, -180, 180, 0},
          {"Zoom", v.zoomSlider, 0.1, 10, 10}};
}

void Monkey::recompute(Fl_Widget* w, bool ballistics) {
  w->do_callback();
  if (ballistics) {
    checkBallistics();
  } else {
    checkSpringMass();
  }
}

bool sameFloat(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void Monkey::checkBallistics() {
  using namespace ballisticspanel;
  BallisticsView& view = ballisticsApp.view;
  const std::pair<Fl_Check_Button*, const std::vector<Vector3f>*> schemes[] = {
      {eulerButton, &view.eulerTrajectory},
      {midpointButton, &view.midpointTrajectory},
      {rk4Button, &view.rk4Trajectory}};
  for (const auto& [button, shown] : schemes) {
    EXPECT_EQ(shown->empty(), button->value() == 0) << button->label() << " at " << editLog.back();
    EXPECT_LE(shown->size(), std::size_t(BallisticsSim::kMaxFlightSteps) + 1);
  }
  EXPECT_TRUE(sameFloat(view.target.x, float(zInput->value())) &&
              sameFloat(view.target.z, float(xInput->value())) && view.target.y == 0.0f)
      << editLog.back();
  EXPECT_GE(timeTakenOutput->value(), 0.0);
}

void Monkey::checkSpringMass() {
  using namespace springmasspanel;
  SpringMassView& view = springMassApp.view;
  const bool any = eulerButton->value() || midpointButton->value() || rk4Button->value();
  EXPECT_EQ(view.trajectory.empty(), !any) << editLog.back();
  EXPECT_LE(view.trajectory.size(), SpringMassSim::kMaxSamples);
  EXPECT_EQ(view.framePosition, 0.0f) << editLog.back();
  EXPECT_EQ(::playbackSlider->value(), 0.0) << editLog.back();
}

void Monkey::playback(int depth, Fl_Widget* w) {
  Plan plan{1 + pick(6), 2 + pick(12)};
  note(depth, std::string("  plan: nested edit at wait ") + std::to_string(plan.nestedAt) +
                  ", Pause from wait " + std::to_string(plan.pauseAt));
  plans.push_back(plan);
  ++playbacks;
  w->do_callback();
  plans.pop_back();
}

void Monkey::edit(int depth) {
  if (depth > 0) ++nested;
  // Nested playbacks stop at three deep.
  const bool mayPlay = plans.size() < 3;
  const int kind = pick(100);
  if (kind < 30) {  // a ballistics input: every one but "Time Step" recomputes
    const std::vector<Field> fields = ballisticsFields();
    const Field& f = fields[pick(int(fields.size()))];
    const double v = valueFor(f);
    note(depth, std::string("ballistics ") + f.name + " = " + show(v));
    const double before = f.widget->value();
    f.widget->value(v);
    if (f.widget != ballisticspanel::timeStepInput) {
      recompute(f.widget, true);
    } else if (isHostile(v)) {
      f.widget->do_callback();
      note(depth, "ballistics Recompute");
      recompute(panels::buttonLabelled(ballisticspanel::window, "Recompute"), true);
    }
    // A hostile value is tried once and typed back: one such as a step of
    // 1e-30 or a power of 1e30 with no friction makes every later flight run
    // to the step limit, which would make the run long rather than thorough.
    if (isHostile(v)) {
      note(depth, std::string("ballistics ") + f.name + " = " + show(before));
      f.widget->value(before);
      if (f.widget != ballisticspanel::timeStepInput) recompute(f.widget, true);
    }
  } else if (kind < 37) {  // a scheme check box
    Fl_Check_Button* const buttons[] = {
        ballisticspanel::eulerButton, ballisticspanel::midpointButton, ballisticspanel::rk4Button};
    Fl_Check_Button* b = buttons[pick(3)];
    note(depth, std::string("ballistics toggle ") + b->label());
    b->value(!b->value());
    recompute(b, true);
  } else if (kind < 41) {
    note(depth, "ballistics Recompute");
    recompute(panels::buttonLabelled(ballisticspanel::window, "Recompute"), true);
  } else if (kind < 53) {  // a spring-mass input: used at the next Recompute
    const std::vector<Field> fields = springMassFields();
    const Field& f = fields[pick(int(fields.size()))];
    const double v = valueFor(f);
    note(depth, std::string("spring-mass ") + f.name + " = " + show(v));
    f.widget->value(v);
    f.widget->do_callback();
  } else if (kind < 59) {  // a scheme button, clicked
    Fl_Round_Button* const buttons[] = {
        springmasspanel::eulerButton, springmasspanel::midpointButton, springmasspanel::rk4Button};
    Fl_Round_Button* b = buttons[pick(3)];
    note(depth, std::string("spring-mass click ") + b->label());
    b->value(!b->value());
    b->do_callback();
  } else if (kind < 67) {
    note(depth, "spring-mass Recompute");
    recompute(panels::buttonLabelled(springmasspanel::window, "Recompute"), false);
  } else if (kind < 72) {
    const double v = chance(0.2) ? hostile() : uniform(-0.2, 1.2);
    note(depth, "Playback slider = " + show(v));
    ::playbackSlider->value(v);
    ::playbackSlider->do_callback();
  } else if (kind < 77 && mayPlay) {
    note(depth, "Play");
    playback(depth, panels::buttonLabelled(springmasspanel::window, "Play"));
  } else if (kind < 81 && mayPlay) {
    const double speeds[] = {0.0001, 0.001, 0.01, 0.05, 0.25, 1, -0.01, -0.05, 0};
    const double v = chance(0.3) ? hostile() : speeds[pick(9)];
    note(depth, "Speed = " + show(v));
    ::speedInput->value(v);
    playback(depth, ::speedInput);
  } else if (kind < 84) {
    note(depth, "Pause");
    panels::buttonLabelled(springmasspanel::window, "Pause")->do_callback();
  } else if (kind < 97) {  // a camera control of one of the viewers
    const bool ballistics = chance(0.5);
    ViewerWindow& v = ballistics ? ballisticsApp.viewer : springMassApp.viewer;
    const std::vector<Field> fields = viewerFields(v);
    const Field& f = fields[pick(int(fields.size()))];
    const double value = valueFor(f);
    note(depth, std::string(ballistics ? "ballistics" : "spring-mass") + " viewer " + f.name +
                    " = " + show(value));
    f.widget->value(value);
    f.widget->do_callback();
  } else {
    note(depth, "repaint");
    Fl::wait(0.0);
  }
}

// Every window's picture, with the "Time Taken" fields blanked: they show
// the time of the last recomputation.
std::vector<panels::Picture> pictures() {
  Fl::focus(nullptr);
  std::vector<panels::Picture> all;
  for (Fl_Window* w : {ballisticsApp.viewer.topWindow, ballisticspanel::window,
                       springMassApp.viewer.topWindow, springmasspanel::window}) {
    panels::Picture p = panels::grab(w);
    for (Fl_Widget* t : {static_cast<Fl_Widget*>(ballisticspanel::timeTakenOutput),
                         static_cast<Fl_Widget*>(springmasspanel::timeTakenOutput)}) {
      if (t->window() != w) continue;
      for (int y = t->y(); y < t->y() + t->h(); ++y)
        for (int x = t->x(); x < t->x() + t->w(); ++x)
          for (int c = 0; c < 3; ++c) p.rgb[(std::size_t(y) * p.width + x) * 3 + c] = 0;
    }
    all.push_back(std::move(p));
  }
  return all;
}

// The text every parameter input shows at start-up.
std::vector<std::pair<Fl_Value_Input*, std::string>> startUpTexts() {
  std::vector<std::pair<Fl_Value_Input*, std::string>> texts;
  for (const std::vector<Field>& fields : {ballisticsFields(), springMassFields()}) {
    for (const Field& f : fields) {
      auto* input = static_cast<Fl_Value_Input*>(f.widget);
      texts.emplace_back(input, input->input.value());
    }
  }
  return texts;
}

// Types the start-up texts back into the inputs (each keystroke's callback
// runs, as when a user types), ticks the start-up schemes, puts the camera
// and the playback back, and presses both "Recompute" buttons.
void typeDefaultsBack(const std::vector<std::pair<Fl_Value_Input*, std::string>>& texts) {
  for (const auto& [input, text] : texts) {
    input->input.value(text.c_str());
    input->input.do_callback();
  }
  for (Fl_Check_Button* b : {ballisticspanel::eulerButton, ballisticspanel::midpointButton,
                             ballisticspanel::rk4Button}) {
    b->value(1);
  }
  springmasspanel::eulerButton->value(0);
  springmasspanel::midpointButton->value(0);
  springmasspanel::rk4Button->value(1);
  // Typed, a new speed would start a playback.
  ::speedInput->value(0.0001);
  for (ViewerWindow* v : {&ballisticsApp.viewer, &springMassApp.viewer}) {
    for (const Field& f : viewerFields(*v)) {
      f.widget->value(f.start);
      f.widget->do_callback();
    }
  }
  panels::buttonLabelled(ballisticspanel::window, "Recompute")->do_callback();
  panels::buttonLabelled(springmasspanel::window, "Recompute")->do_callback();
}

TEST(Monkey, ThousandsOfEditsThenTheDefaultsShowTheStartUpPicture) {
  if (const char* s = std::getenv("PBSIM_MONKEY_SEED")) seed = std::strtoull(s, nullptr, 10);
  if (const char* n = std::getenv("PBSIM_MONKEY_EDITS")) edits = std::atoi(n);
  std::printf("monkey: seed %llu, %d edits\n", seed, edits);
  std::fflush(stdout);
  RecordProperty("seed", std::to_string(seed));

  const std::vector<panels::Picture> startUp = pictures();
  const auto texts = startUpTexts();

  for (int sig : {SIGSEGV, SIGABRT, SIGFPE, SIGBUS}) std::signal(sig, onFatalSignal);
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_set_death_callback(onSanitizerDeath);
#endif
  std::atomic<bool> done{false};
  std::atomic<std::size_t> progress{0};
  std::thread watchdog([&] {
    std::size_t seen = 0;
    Clock::time_point since = Clock::now();
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const std::size_t now = progress;
      if (now != seen) {
        seen = now;
        since = Clock::now();
      } else if (Clock::now() - since > std::chrono::seconds(kHangSeconds)) {
        dumpLog("hang");
        std::_Exit(3);
      }
    }
  });

  // The console lines of thousands of recomputations are not wanted.
  std::fflush(stdout);
  const int savedStdout = dup(STDOUT_FILENO);
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, STDOUT_FILENO);

  Fl::add_check(onWait);
  Fl::add_timeout(0.002, tick);
  Monkey monkey(seed);
  theMonkey = &monkey;
  for (int i = 0; i < edits && !HasFailure(); ++i) {
    // Now and then a new user: the defaults typed back. This also keeps a
    // combination of values with slow flights from lasting the whole run.
    if (i % 250 == 249) {
      {
        std::lock_guard<std::mutex> lock(logMutex);
        editLog.push_back(std::to_string(editLog.size()) + " the defaults typed back");
      }
      typeDefaultsBack(texts);
    }
    monkey.edit(0);
    progress = i + 1;
  }
  Fl::remove_timeout(tick);
  Fl::remove_timeout(nestedEdit);
  Fl::remove_check(onWait);
  typeDefaultsBack(texts);

  std::fflush(stdout);
  dup2(savedStdout, STDOUT_FILENO);
  close(savedStdout);
  close(devNull);
  done = true;
  watchdog.join();

  std::printf("monkey: %d edits (%d nested in a playback, %d playbacks)\n", edits, monkey.nested,
              monkey.playbacks);

  const std::vector<panels::Picture> end = pictures();
  const char* names[] = {"ballistics viewer", "ballistics panel", "spring-mass viewer",
                         "spring-mass panel"};
  for (std::size_t i = 0; i < startUp.size(); ++i) {
    std::size_t differ = 0;
    for (std::size_t k = 0; k < startUp[i].rgb.size(); ++k)
      differ += startUp[i].rgb[k] != end[i].rgb[k];
    EXPECT_EQ(differ, 0u) << names[i] << " differs from its start-up picture";
  }
  if (HasFailure()) dumpLog("failure");
}

}  // namespace
