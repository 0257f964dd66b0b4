// A flight's trajectory takes about the memory its points need: a fine flight
// holds millions of points, and room for twice as many would double what
// pbsim keeps per scheme.

#include <gtest/gtest.h>

#include "ballisticssetup.h"
#include "ballisticssim.h"

namespace {

// Flights of a few hundred to tens of thousands of points. Some of them land
// a step or a few tenths of a percent after the closed-form landing (Euler at
// coarse steps, long flights of every scheme): room sized only by the
// closed-form landing would run out at their very end.
TEST(TrajectoryRoom, AFlightHoldsLittleMoreRoomThanItsPoints) {
  struct Case {
    int scheme;
    float timeStep, powder, friction, elevation;
  };
  for (Case c :
       {Case{Euler, 0.1f, 50, 50, 45}, Case{Euler, 0.1f, 50, 50, 80}, Case{Euler, 0.1f, 50, 0, 45},
        Case{Euler, 0.01f, 10, 0, 45}, Case{Midpoint, 0.1f, 50, 500, 80},
        Case{Midpoint, 0.01f, 50, 0, 10}, Case{RK4, 0.001f, 50, 500, 45},
        Case{RK4, 0.01f, 10, 500, 45}, Case{Euler, 0.001f, 50, 2000, 10}}) {
    SCOPED_TRACE(testing::Message()
                 << "scheme " << c.scheme << " step " << c.timeStep << " powder " << c.powder
                 << " friction " << c.friction << " elevation " << c.elevation);
    BallisticsPanelValues v;
    v.timeStep = c.timeStep;
    v.powderAmount = c.powder;
    v.airFriction = c.friction;
    v.elevation = c.elevation;
    BallisticsSim sim;
    sim.params = ballisticsParamsFromPanel(v);
    sim.setScheme(c.scheme);
    ASSERT_EQ(sim.fly().end, FlightEnd::Landed);
    ASSERT_GE(sim.trajectory.size(), 500u);
    EXPECT_LE(double(sim.trajectory.capacity()), 1.1 * double(sim.trajectory.size()))
        << sim.trajectory.size() << " points";
  }
}

}  // namespace
