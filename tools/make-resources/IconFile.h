#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

namespace tavrelo::artwork {

// Windows icon (.ico) and cursor (.cur) files holding one palette image.
//
// `indexed` is a Format_Indexed8 picture whose colour table has at most
// 2^bitsPerPixel entries (bitsPerPixel 1, 4 or 8); a pixel whose table entry
// has alpha 0 is transparent (AND-mask bit set, colour black), every other
// pixel is opaque. Width and height are 1 to 256. Returns an empty array
// when the picture does not fit those rules.
QByteArray encodeIcon(const QImage& indexed, int bitsPerPixel);

// Same layout with resource type 2; the hot spot (pixels from the top left)
// takes the place of the planes and bit-count fields of the directory entry.
QByteArray encodeCursor(const QImage& indexed, int bitsPerPixel, QPoint hotSpot);

}  // namespace tavrelo::artwork
