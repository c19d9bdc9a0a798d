#pragma once

#include <cmath>

// Window geometry is designed in twips, 1440 to the inch: 15 to a pixel at
// 96 dpi. Pixels are rounded to the nearest whole one.
inline constexpr double kTwipsPerInch = 1440.0;

inline int twipsToPixels(double twips, double dotsPerInch) {
  return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}
