#pragma once

// π in double precision, for every conversion and formula that needs it.
inline constexpr double kPi = 3.141592653589793;
