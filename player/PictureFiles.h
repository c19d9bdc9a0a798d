#pragma once

#include <QImage>
#include <QString>

// Reads the window's pictures (PNG and JPEG resources) with libpng and
// libjpeg directly. Observed with Qt 6.4: the first QImageReader of a process
// loads every image-format plugin installed (about 9 ms and several MB here),
// even for a PNG with its format named; the window needs none of them.
// A picture that can't be read gives a null image.
QImage readPicture(const QString& resourcePath);
