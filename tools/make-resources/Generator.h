#pragma once

#include <QString>
#include <QStringList>

namespace tavrelo::artwork {

// Draws every picture of the program and writes it under `folder` (created
// if needed), with the same names the resources target lists. Returns the
// paths written, relative to `folder`, in a fixed order; on the first
// failure returns an empty list and says why in `error`. Needs a
// QGuiApplication (fonts). Same inputs, same bytes: nothing depends on the
// time, the screen or the order of a hash.
QStringList writePictures(const QString& folder, QString* error);

}  // namespace tavrelo::artwork
