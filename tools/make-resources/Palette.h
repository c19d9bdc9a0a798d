#pragma once

#include <QImage>

namespace tavrelo::artwork {

// Reduces an ARGB picture to at most `maxColours` palette entries by median
// cut, deterministically (same input, same palette, same indexes). Pixels with
// alpha 0 all share one entry, qRgba(0, 0, 0, 0), which always comes first in
// the table when the picture has any. The colour table keeps alpha, so the
// result can be written as a PNG with a transparency chunk, or as an icon or
// GIF whose mask is "entry alpha is 0".
QImage quantise(const QImage& picture, int maxColours);

// Makes every pixel either opaque or fully transparent: pixels below half
// alpha vanish, the others are blended over `matte` and made opaque. For
// formats with a 1-bit mask (ICO, CUR, GIF).
QImage flattenAlpha(const QImage& picture, QRgb matte);

}  // namespace tavrelo::artwork
