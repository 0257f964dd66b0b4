// The OpenGL and GLUT calls each scene makes, in order. The test binary is
// linked with --wrap for these functions, so the scenes' calls land in the
// recorders below instead of OpenGL: no context and no display are needed.

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "ballisticsview.h"
#include "springmassview.h"
#include "startup_flight.h"

namespace {

std::vector<std::string> calls;

void record(const char* format, ...) __attribute__((format(printf, 1, 2)));
void record(const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  calls.emplace_back(text);
}

}  // namespace

extern "C" {
void __wrap_glPushMatrix() { record("push"); }
void __wrap_glPopMatrix() { record("pop"); }
void __wrap_glColor3f(GLfloat r, GLfloat g, GLfloat b) { record("colour %.9g %.9g %.9g", r, g, b); }
void __wrap_glBegin(GLenum mode) { record("begin %u", mode); }
void __wrap_glEnd() { record("end"); }
void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  record("vertex %.9g %.9g %.9g", x, y, z);
}
void __wrap_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  record("translate %.9g %.9g %.9g", x, y, z);
}
void __wrap_glutSolidSphere(double radius, GLint slices, GLint stacks) {
  record("sphere %.9g %d %d", radius, slices, stacks);
}
}

namespace {

std::string fmt(const char* format, double a, double b, double c) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}
std::string colour(float r, float g, float b) { return fmt("colour %.9g %.9g %.9g", r, g, b); }
std::string vertex(float x, float y, float z) { return fmt("vertex %.9g %.9g %.9g", x, y, z); }

TEST(SceneCalls, BallisticsDrawsGroundGunTargetAndSegmentsInThisOrder) {
  BallisticsView view;
  view.eulerTrajectory = {{0, 0.0001f, 0}, {1, 2, 3}, {2, 0, 6}};
  view.midpointTrajectory = {{7, 8, 9}};  // one point: an empty pair
  view.rk4Trajectory = {{-1, 0.5f, 2}, {-2, 0, 4}};
  view.target = Vector3f(0.25f, 0, 10);
  calls.clear();
  view.drawScene();

  const float grey = 0.7f;
  std::vector<std::string> expected = {"push",
                                       colour(grey, grey, grey),
                                       "begin 9",
                                       vertex(-10, -0.001f, -10),
                                       vertex(10, -0.001f, -10),
                                       vertex(10, -0.001f, 10),
                                       vertex(-10, -0.001f, 10),
                                       "end",
                                       colour(grey, grey, 0),
                                       "sphere 0.1 10 10",
                                       colour(0, grey, grey),
                                       "push",
                                       "translate 0.25 0 10",
                                       "sphere 0.1 10 10",
                                       "pop",
                                       colour(1, 0, 0),
                                       "begin 1"};
  for (auto segment : {0, 1})
    for (auto end : {0, 1}) {
      const Vector3f& p = view.eulerTrajectory[segment + end];
      expected.push_back(vertex(p.x, p.y, p.z));
    }
  for (const std::string& s :
       {std::string("end"), colour(0, 1, 0), std::string("begin 1"), std::string("end"),
        colour(0, 0, 1), std::string("begin 1"), vertex(-1, 0.5f, 2), vertex(-2, 0, 4),
        std::string("end"), std::string("pop")})
    expected.push_back(s);
  EXPECT_EQ(calls, expected);
}

// Flights whose points lie farther apart than a quarter pixel are drawn
// point for point at every zoom of the viewer window, the start-up flights
// among them.
TEST(SceneCalls, StartUpFlightsDrawEverySegmentAtEveryZoom) {
  BallisticsView view;
  std::vector<Vector3f>* lists[] = {&view.eulerTrajectory, &view.midpointTrajectory,
                                    &view.rk4Trajectory};
  std::vector<std::string> expected;
  for (int scheme : {Euler, Midpoint, RK4}) {
    const std::vector<Vector3f>& flight = *lists[scheme] = startUpFlight(scheme, 0.1f);
    for (std::size_t i = 0; i + 1 < flight.size(); ++i)
      for (const Vector3f& p : {flight[i], flight[i + 1]})
        expected.push_back(vertex(p.x, p.y, p.z));
  }
  for (double zoom : {10.0, 1.0, 0.1}) {
    view.zoomFactor = zoom;
    calls.clear();
    view.drawScene();
    std::vector<std::string> vertices;
    for (std::size_t i = 8; i < calls.size(); ++i)  // after the ground's
      if (calls[i].rfind("vertex", 0) == 0) vertices.push_back(calls[i]);
    EXPECT_EQ(vertices, expected) << "zoom " << zoom;
  }
}

TEST(SceneCalls, SpringMassDrawsBarThenBodyAtTheInterpolatedHeight) {
  SpringMassView view;
  view.trajectory = {-1.0f, -1.5f, -2.0f};
  view.framePosition = 0.5f;  // halfway between the first two samples
  calls.clear();
  view.drawScene();
  const float h = -1.25f;
  const std::vector<std::string> expected = {"push",
                                             "translate 0 0.5 0",
                                             colour(0.9f, 0.1f, 0.0f),
                                             "begin 9",
                                             vertex(-0.1f, 0, 0),
                                             vertex(-0.1f, h, 0),
                                             vertex(0.1f, h, 0),
                                             vertex(0.1f, 0, 0),
                                             "end",
                                             colour(0.0f, 0.1f, 0.9f),
                                             "begin 9",
                                             vertex(-0.2f, h, 0),
                                             vertex(-0.2f, h - 0.2f, 0),
                                             vertex(0.2f, h - 0.2f, 0),
                                             vertex(0.2f, h, 0),
                                             "end",
                                             "pop"};
  EXPECT_EQ(calls, expected);

  // Positions with no sample pair to interpolate make no call at all, nor do
  // lists of fewer than two samples.
  const float inf = std::numeric_limits<float>::infinity();
  for (std::vector<float> samples : {std::vector<float>{}, std::vector<float>{-1}}) {
    SpringMassView few;
    few.trajectory = samples;
    calls.clear();
    few.drawScene();
    EXPECT_TRUE(calls.empty()) << samples.size() << " samples";
  }
  for (float position : {2.0f, 2.5f, 1e38f, inf, std::numeric_limits<float>::quiet_NaN()}) {
    calls.clear();
    view.framePosition = position;
    view.drawScene();
    EXPECT_TRUE(calls.empty()) << position;
  }
  // Positions before the first sample (a backwards playback) show the first
  // sample; 1.5 lies halfway between the last two.
  for (auto [position, height] : {std::pair{-0.5f, -1.0f},
                                  {-7.0f, -1.0f},
                                  {-1e38f, -1.0f},
                                  {-inf, -1.0f},
                                  {1.5f, -1.75f},
                                  {1.0f, -1.5f}}) {
    calls.clear();
    view.framePosition = position;
    view.drawScene();
    ASSERT_EQ(calls.size(), expected.size()) << position;
    EXPECT_EQ(calls[5], vertex(-0.1f, height, 0)) << position;
    EXPECT_EQ(calls[12], vertex(-0.2f, height - 0.2f, 0)) << position;
  }
}

}  // namespace
