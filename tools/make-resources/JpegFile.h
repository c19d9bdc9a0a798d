#pragma once

#include <QByteArray>
#include <QImage>

namespace tavrelo::artwork {

// A baseline JPEG that stores the red, green and blue planes as they are
// (Adobe marker, no YCbCr conversion, no chroma subsampling). The usual
// YCbCr round trip cannot give back a colour on the edge of the gamut such as
// olive 128,128,0 (it comes back 127,128,0 or 128,129,1); this way every
// 8 x 8 block of one flat colour decodes to exactly that colour. Returns an
// empty array for a null picture or a quality outside 1..100.
QByteArray encodeRgbJpeg(const QImage& picture, int quality);

}  // namespace tavrelo::artwork
