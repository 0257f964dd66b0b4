// pbsim: compares Euler, midpoint and RK4 on a ballistics and a spring-mass
// simulation. Asks on the console which one to run, then runs its windows.

#include <GL/freeglut.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "ballisticsapp.h"
#include "console.h"
#include "springmassapp.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The console shows "\n" as a line break; written unchanged, the lines are
  // byte for byte those of the other platforms, also in a file or a pipe.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  printf("Physically based simulation Velmora.\n");

#ifdef _WIN32
  // Windows draws on the desktop of the console's session: there is no
  // display to look for. freeglut would take an X display's name in DISPLAY
  // (set where an X server is installed beside Windows) for a Windows display
  // device and warn that it cannot open it.
  _putenv("DISPLAY=");
  glutInit(&argc, argv);
#else
  // glutInit and the toolkit both end the process when there is no display;
  // say why instead.
  DisplayProbe display(argc, argv);
  if (!display.available()) {
    const char* name = displayName(argc, argv);
    fflush(stdout);
    if (name == nullptr) {
      fprintf(stderr,
              "pbsim: no display: DISPLAY is not set; pbsim needs an X display "
              "(or run it under xvfb-run).\n");
    } else {
      fprintf(stderr,
              "pbsim: cannot open the display \"%s\"; pbsim needs an X display "
              "(or run it under xvfb-run).\n",
              name);
    }
    return EXIT_FAILURE;
  }

  // glutInit takes "-display NAME" out of the arguments and the toolkit then
  // opens $DISPLAY: make both use the display that was checked.
  setenv("DISPLAY", displayName(argc, argv), 1);
  glutInit(&argc, argv);
  display.close();
#endif
  glEnable(GL_DEPTH_TEST);

  std::cout << "Which part do you wish to run? Enter 0 for Ballistics, 1 for SpringMass : "
            << std::endl;
  int mode = 0;
  switch (readModeReply(std::cin, mode)) {
    case ModeReply::Number:
      break;
    case ModeReply::EndOfInput:
      fprintf(stderr, "pbsim: no answer (the input ended); nothing to run.\n");
      return EXIT_FAILURE;
    case ModeReply::NotANumber:
      fprintf(stderr,
              "pbsim: the answer is not a whole number; enter 0 for Ballistics or 1 "
              "for SpringMass.\n");
      return EXIT_FAILURE;
  }

  if (mode == 0) {
    runBallistics(argc, argv);
  } else {
    runSpringMass(argc, argv);
  }

  waitForKey(std::cin);
  return 0;
}
