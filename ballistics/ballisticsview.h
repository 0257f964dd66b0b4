#pragma once

#include <vector>

#include "cubeview.h"
#include "polyline.h"
#include "vector3f.h"

// The ballistics scene: a grey ground square, the gun at the origin, the
// target sphere and up to three trajectories of the same shot, red for Euler,
// green for midpoint and blue for RK4. The view holds copies of what it
// draws; the application writes them after every recomputation and redraws.
//
// A finely stepped flight holds far more points than the view can tell
// apart, so each trajectory is drawn through a simplified copy in which no
// dropped point lies farther than a quarter pixel from the drawn line, at any
// zoom of the viewer window and in any view up to kLargestViewPixels across
// (a larger view or zoom gets a finer copy). Distances in the scene bound
// distances on the screen under every rotation and pan, so one copy serves
// every camera; it is rebuilt only when a trajectory changes. A trajectory
// whose points all lie farther apart than that is drawn point for point.
class BallisticsView : public CubeView {
 public:
  BallisticsView();
  ~BallisticsView() override;

  void drawScene() override;

  std::vector<Vector3f> eulerTrajectory;
  std::vector<Vector3f> midpointTrajectory;
  std::vector<Vector3f> rk4Trajectory;
  Vector3f target;  // centre of the target sphere

  static constexpr int kLargestViewPixels = 4096;  // a 4K screen's width
  static constexpr double kLargestZoom = 10.0;     // the viewer window's "Zoom" maximum

  // The distance in the scene within which dropped points lie, for a view
  // `pixels` across (its larger side) at `zoom`: a quarter pixel at the
  // larger of these and kLargestViewPixels and kLargestZoom.
  static double simplificationTolerance(int pixels, double zoom);

  // How many times the drawn copies have been rebuilt since construction.
  long simplifications() const;

 protected:
  // False draws every point of every trajectory (for comparisons).
  bool simplifies = true;

 private:
  SimplifiedCopy drawn_[3];  // Euler, midpoint, RK4
};
