// The real pbsim binary, started and answered as a user does, its windows
// driven with xdotool. Needs a display (run under xvfb-run).

#include "program.h"

#include <gtest/gtest.h>

#include "expected_console.h"

namespace {

const char kPanel[] = "Ballistics Simulation";
const char kSpringPanel[] = "Spring Mass Simulation";
const char kViewer[] = "Physically Based Simulation";

// The console so far is exactly `transcript` (read until it is as long).
void expectTranscript(Program& program, const std::string& transcript) {
  program.until(10, [&] { return program.output().size() >= transcript.size(); });
  EXPECT_EQ(program.output(), transcript);
}

// Both windows of the answered mode are up and the console holds exactly
// the banner and `startUp`.
// Without a window manager both windows open at the screen's corner, and each
// recomputation raises the viewer, so the panel is moved beside it.
void startMode(Program& program, const std::string& answer, const char* panel,
               const std::string& startUp) {
  ASSERT_TRUE(program.waitForOutput(expected::kBanner));
  program.send(answer);
  ASSERT_NE(shownWindow(program, kViewer), "");
  const std::string id = shownWindow(program, panel);
  ASSERT_NE(id, "");
  xdotool("windowmove --sync " + id + " 450 0");
  expectTranscript(program, expected::kBanner + startUp);
}

// The answer is read as a whole number up to the first character that cannot
// continue it: "0.5" chooses ballistics.
TEST(ProgramConsole, BallisticsStartUpTranscriptThenExitWithoutKey) {
  Program program;
  startMode(program, "0.5\n", kPanel, expected::ballisticsStartUp());

  // "Exit" ends the program at once, with status 0 and without a key.
  clickAt(shownWindow(program, kPanel), 255, 267);
  int status = -1;
  ASSERT_TRUE(program.waitForExit(status, 20));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(program.output(), expected::kBanner + expected::ballisticsStartUp());
}

// Any answer but 0 runs the spring-mass mode. The rest of the answer's line
// and keys typed while the windows are open are not the final key: after the
// last window closes the program waits, unbuffered and without echo, for a
// new key, then restores the terminal and ends with status 0. Standard error
// says that a key is awaited; standard output stays as it was.
TEST(ProgramConsole, SpringMassStartUpThenClosingTheWindowsWaitsForANewKey) {
  Program program;
  startMode(program, "-3 and more\n", kSpringPanel, expected::kSpringMassStartUp);

  program.send("typed ahead");
  ASSERT_TRUE(closeWithEscape(program, kSpringPanel));
  ASSERT_TRUE(closeWithEscape(program, kViewer));
  ASSERT_TRUE(program.until(20, [&] { return program.terminalIsRaw(); }));
  program.outputDuring(0.5);
  EXPECT_TRUE(program.running()) << "ended without a new key";
  EXPECT_EQ(program.errors(), "pbsim: every window is closed; press any key to end.\n");

  program.send("k");
  int status = -1;
  ASSERT_TRUE(program.waitForExit(status, 10));
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(program.terminalIsRaw()) << "terminal settings not restored";
  EXPECT_EQ(program.output(), expected::kBanner + expected::kSpringMassStartUp);
}

// With a pipe for input the final wait reads one byte; at the end of the
// input it returns at once.
TEST(ProgramConsole, PipedInputAtItsEndDoesNotWaitForAKey) {
  Program program(Program::Stdin::Pipe);
  program.send("1\n");
  program.closeInput();
  ASSERT_NE(shownWindow(program, kSpringPanel), "");
  ASSERT_TRUE(closeWithEscape(program, kSpringPanel));
  ASSERT_TRUE(closeWithEscape(program, kViewer));
  int status = -1;
  ASSERT_TRUE(program.waitForExit(status, 20));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(program.errors().find("press any key"), std::string::npos) << program.errors();
}

// A reply that chooses nothing opens no window and fails with a message.
TEST(ProgramConsole, RepliesThatChooseNothingFailWithAMessage) {
  struct Case {
    const char* typed;
    const char* message;
  };
  for (const Case& c : {Case{"zero\n", "the answer is not a whole number"},
                        Case{"99999999999\n", "the answer is not a whole number"},
                        Case{"\n\x04", "no answer (the input ended)"}}) {
    SCOPED_TRACE(c.typed);
    Program program(Program::Stdin::Terminal, true, {}, /*drawsNothing=*/true);
    ASSERT_TRUE(program.waitForOutput(expected::kBanner));
    program.send(c.typed);
    int status = -1;
    ASSERT_TRUE(program.waitForExit(status, 10));
    EXPECT_EQ(status, 1);
    EXPECT_NE(program.errors().find(c.message), std::string::npos) << program.errors();
  }
}

// In a sanitizer build, a leak that the GL driver makes inside GLUT's start-up
// (loaded and unloaded around it, built without frame pointers, as on machines
// whose Mesa leaks at exit) must not turn pbsim's exit status into an abort,
// while the same leak made from pbsim's own main must still be reported.
TEST(SanitizerBuild, GlStartUpLeaksAreSuppressedLeaksOfOurOwnAreNot) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "not a sanitizer build";
#else
  struct Case {
    const char* where;
    bool reported;
  };
  for (const Case& c : {Case{"startup", false}, Case{"main", true}}) {
    SCOPED_TRACE(c.where);
    const std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
    // The shim is preloaded before the sanitizer's runtime.
    setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
    setenv("LD_PRELOAD", PBSIM_GL_LEAK_SHIM, 1);
    setenv("PBSIM_TEST_LEAK", c.where, 1);
    Program program(Program::Stdin::Terminal, true, {}, /*drawsNothing=*/true);
    unsetenv("LD_PRELOAD");
    unsetenv("PBSIM_TEST_LEAK");
    setenv("ASAN_OPTIONS", asan.c_str(), 1);

    ASSERT_TRUE(program.waitForOutput(expected::kBanner));
    program.send("zero\n");
    int status = 0;
    ASSERT_TRUE(program.waitForExit(status, 30));
    const bool leakReported = program.errors().find("detected memory leaks") != std::string::npos;
    EXPECT_EQ(leakReported, c.reported) << program.errors();
    EXPECT_EQ(status, c.reported ? -1 : 1) << program.errors();
  }
#endif
}

TEST(ProgramConsole, NoDisplayEndsWithAMessageAfterTheBanner) {
  Program program(Program::Stdin::Terminal, /*withDisplay=*/false, {}, /*drawsNothing=*/true);
  int status = -1;
  ASSERT_TRUE(program.waitForExit(status, 10));
  EXPECT_EQ(status, 1);
  EXPECT_EQ(program.output().rfind("Physically based simulation Velmora.\n", 0), 0u);
  EXPECT_NE(program.errors().find("pbsim: no display"), std::string::npos) << program.errors();
}

// "-display NAME" is the display of GLUT and of the windows alike.
TEST(ProgramConsole, DisplayOptionWithoutDisplayVariable) {
  Program program(Program::Stdin::Terminal, /*withDisplay=*/false, {"-display", getenv("DISPLAY")});
  startMode(program, "1\n", kSpringPanel, expected::kSpringMassStartUp);
  clickAt(shownWindow(program, kSpringPanel), 130, 97);  // "Exit"
  int status = -1;
  ASSERT_TRUE(program.waitForExit(status, 20));
  EXPECT_EQ(status, 0);
}

// Typed into the running panel: a "Time Step" alone computes nothing; a
// gravity of 0 gives a flight that never lands, which is stopped with a
// message while the panel stays responsive.
TEST(ProgramPanel, TypedTimeStepWaitsAndGravityZeroStaysResponsive) {
  Program program;
  startMode(program, "0\n", kPanel, expected::ballisticsStartUp());
  const std::string panel = shownWindow(program, kPanel);

  typeInto(panel, 100, 327, "0.05");
  EXPECT_EQ(program.outputDuring(1.0), "");

  typeInto(panel, 90, 137, "0");
  ASSERT_TRUE(program.waitForOutput("callback complete\n", 60));
  const std::string flights = program.output().substr(
      program.output().find("Setting parameters", expected::kBanner.size() + 10));
  EXPECT_NE(flights.find("gravity=0.000000"), std::string::npos) << flights;
  EXPECT_NE(flights.find("Setting time step to 0.050000\n"), std::string::npos) << flights;
  EXPECT_NE(flights.find("stopped after"), std::string::npos) << flights;

  clickAt(panel, 255, 267);
  int status = -1;
  ASSERT_TRUE(program.waitForExit(status, 20));
  EXPECT_EQ(status, 0);
}

}  // namespace
