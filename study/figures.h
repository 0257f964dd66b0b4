#pragma once

// The figures of pbsim-study, drawn with PLplot into SVG, PNG or PDF: each
// scheme in the engine's colour and marker, a subtitle with the values the
// figure was made with.

#include <cmath>
#include <string>
#include <vector>

#include "convergencestudy.h"
#include "studies.h"

struct Curve {
  std::string label;
  SchemeColour colour{0.0f, 0.0f, 0.0f};
  std::string marker;       // a marker of kSchemes (circle, square, ...), or none
  int style = 1;            // PLplot line style: 1 solid, 2 dashed
  double width = 2.0;       // line width
  bool markEach = false;    // mark every point; otherwise a dozen marks spread along it
  int markOffset = 0;       // staggers the spread marks of curves lying on each other
  bool labelAtEnd = false;  // label written at the curve's last point, not in the legend
  std::vector<double> x, y;
  std::vector<bool> floor;  // per point, when given: rounding dominates there
};

struct Chart {
  std::string title, subtitle, xLabel, yLabel;
  bool logX = false, logY = false;  // logarithmic axes; non-positive values are left out
  // A window narrower than the data, where some curves run away: NaN means
  // "fit the data". Curves leaving the window are clipped at its edge.
  double xMin = std::nan(""), xMax = std::nan(""), yMin = std::nan(""), yMax = std::nan("");
  std::vector<Curve> curves;
};

// The kinds of figure of each command; the first is the default.
inline const std::vector<std::string> kFlightFigures{"path", "error"};
inline const std::vector<std::string> kSpringFigures{"height", "error", "phase", "energy"};
inline const std::vector<std::string> kConvergenceFigures{"step", "work", "tolerance"};

// The PLplot device for a file name's extension (.svg, .png, .pdf in any
// case), or "".
std::string plotDevice(const std::string& path);

// The points of a curve of n points that a figure draws when it shows at
// most `most`: every k-th, and always the last.
std::vector<std::size_t> shownPoints(std::size_t n, std::size_t most);

// Draws the charts one below the other into `path` (which must exist and be
// writable) with `device`; an empty string, or what went wrong.
std::string renderCharts(const std::string& path, const std::string& device,
                         const std::vector<Chart>& charts);

// The figure `kind` of each study (one of the lists above; "" for the default).
std::vector<Chart> charts(const FlightStudy& study, const std::string& kind = "");
std::vector<Chart> charts(const SpringStudy& study, const std::string& kind = "");
std::vector<Chart> charts(const FlightConvergence& study, const std::string& kind = "");
std::vector<Chart> charts(const SpringConvergence& study, const std::string& kind = "");
