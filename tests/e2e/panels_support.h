#pragma once

// Both control panels built in-process, as the program builds them, for tests
// that drive them through their widgets. Needs a display: every recomputation
// shows the viewer window.

#include <FL/Fl_Window.H>

#include <functional>
#include <string>
#include <vector>

class Fl_Button;
class Fl_Group;

namespace panels {

// What `action` prints on standard output.
std::string consoleOf(const std::function<void()>& action);

// The console of each mode's start-up, run once per process (with GLUT
// initialised first) before the first test; both panels are then shown.
const std::string& ballisticsStartUp();
const std::string& springMassStartUp();

// The button with this label inside `group`, or nullptr.
Fl_Button* buttonLabelled(Fl_Group* group, const char* label);

// Puts every input, check button and scheme button of the ballistics panel
// back to its start-up value, without a callback.
void typeBallisticsDefaults();
// The same for the spring-mass panel, including "Speed" and "Playback".
void typeSpringMassDefaults();

// The pixels a shown window displays, read back from the display once every
// pending repaint is done; row 0 is the top row.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  const unsigned char* at(int x, int y) const { return &rgb[(std::size_t(y) * width + x) * 3]; }
};
Picture grab(Fl_Window* window);

}  // namespace panels
