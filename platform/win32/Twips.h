#pragma once

#include <QPoint>
#include <QRect>
#include <cmath>

// VB forms are designed in twips, 1440 to the inch: 15 to a pixel at the
// 96 dpi that Qt's device-independent pixels stand for (a denser screen
// scales those pixels, not the form). Rounded to the nearest pixel.
namespace tavrelo::win32 {

inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

inline QPoint twipsPoint(int x, int y) {
  return {twipsToPixels(x), twipsToPixels(y)};
}

}  // namespace tavrelo::win32
