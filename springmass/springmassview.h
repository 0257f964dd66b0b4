#pragma once

#include <vector>

#include "cubeview.h"

// The spring-mass scene at one moment of the last computed motion: a red bar
// from the anchor (0.5 above the origin) down to the body, and the blue body
// hanging below it, both in the plane z = 0.
class SpringMassView : public CubeView {
 public:
  SpringMassView();
  ~SpringMassView() override;

  // Draws the body at `framePosition`; nothing for positions at or past the
  // last sample, for a trajectory of fewer than two samples, or for a NaN
  // position. Positions before the first sample show the first sample.
  void drawScene() override;

  // Height of the body before the first step and after every step.
  std::vector<float> trajectory;
  // Playback position in samples: the integer part selects a sample, the
  // fractional part the way to the next one.
  float framePosition;
};
