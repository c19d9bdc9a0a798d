#pragma once

#include <QByteArray>
#include <QImage>

namespace tavrelo::artwork {

// A single-frame GIF89a (LZW-compressed) of a Format_Indexed8 picture with at
// most 256 colour-table entries. A table entry with alpha 0 becomes the
// transparent colour (only the first such entry counts; other pixels are
// opaque). Returns an empty array for any other format or an empty picture.
QByteArray encodeGif(const QImage& indexed);

}  // namespace tavrelo::artwork
