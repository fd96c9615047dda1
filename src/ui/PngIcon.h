#pragma once
#include <QIcon>
#include <QString>

namespace brivel::ui {

// An icon from a PNG file (of the resources), read by Qt's own PNG reader. A
// plain QIcon(file) first asks every image format plugin whether it reads the
// file, which loads them all (and libjpeg) at start-up for nothing.
QIcon PngIcon(const QString& file);

} // namespace brivel::ui
