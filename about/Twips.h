#pragma once

#include <QPoint>
#include <QRect>

// The window is designed in twips: 1440 to the inch, 15 to a pixel at the
// 96 dpi that Qt's device-independent pixels stand for.
namespace tavrelo::about {

inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel, as Windows maps a twip position.
constexpr int twipsToPixels(int twips) {
  return (twips + (twips >= 0 ? kTwipsPerPixel / 2 : -kTwipsPerPixel / 2)) / kTwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

inline QPoint twipsPoint(int x, int y) {
  return {twipsToPixels(x), twipsToPixels(y)};
}

}  // namespace tavrelo::about
