#pragma once

// The figures of pbsim-study, drawn with PLplot into SVG, PNG or PDF.

#include <cmath>
#include <string>
#include <vector>

#include "convergencestudy.h"
#include "studies.h"

struct Curve {
  std::string label;
  int colour = 1;           // 1 black, 2 red, 3 green, 4 blue, 5 grey
  int style = 1;            // PLplot line style: 1 solid, 2 dashed
  bool marks = false;       // also mark each point
  bool labelAtEnd = false;  // label written at the curve's last point, not in the legend
  std::vector<double> x, y;
};

struct Chart {
  std::string title, xLabel, yLabel;
  bool logX = false, logY = false;  // logarithmic axes; non-positive values are left out
  // A window narrower than the data, where some curves run away: NaN means
  // "fit the data". Curves leaving the window are clipped at its edge.
  double xMax = std::nan(""), yMin = std::nan(""), yMax = std::nan("");
  std::vector<Curve> curves;
};

// The PLplot device for a file name's extension (.svg, .png, .pdf), or "".
std::string plotDevice(const std::string& path);

// Draws the charts one below the other into `path` (which must exist and be
// writable) with `device`; an empty string, or what went wrong.
std::string renderCharts(const std::string& path, const std::string& device,
                         const std::vector<Chart>& charts);

// The figure of each study.
std::vector<Chart> charts(const FlightStudy& study);
std::vector<Chart> charts(const SpringStudy& study);
std::vector<Chart> charts(const FlightConvergence& study);
std::vector<Chart> charts(const SpringConvergence& study);
