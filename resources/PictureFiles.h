#pragma once

#include <QImage>
#include <QString>

namespace tavrelo::resources {

// Reads one of the program's pictures: every window loads them here. PNG and
// JPEG go through libpng and libjpeg directly. Observed with Qt 6.4: the first
// QImageReader of a process loads every image-format plugin installed (about
// 9 ms and several MB here), even for a PNG with its format named; the main
// window needs none of them. Other formats (the About window's icon and GIF)
// go through Qt. A picture that can't be read gives a null image.
QImage readPicture(const QString& resourcePath);

}  // namespace tavrelo::resources
