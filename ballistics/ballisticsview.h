#pragma once

#include <vector>

#include "cubeview.h"
#include "vector3f.h"

// The ballistics scene: a grey ground square, the gun at the origin, the
// target sphere and up to three trajectories of the same shot, red for Euler,
// green for midpoint and blue for RK4. The view holds copies of what it
// draws; the application writes them after every recomputation and redraws.
class BallisticsView : public CubeView {
 public:
  BallisticsView();
  ~BallisticsView() override;

  void drawScene() override;

  std::vector<Vector3f> eulerTrajectory;
  std::vector<Vector3f> midpointTrajectory;
  std::vector<Vector3f> rk4Trajectory;
  Vector3f target;  // centre of the target sphere
};
