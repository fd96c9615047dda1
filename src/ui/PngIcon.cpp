#include "ui/PngIcon.h"

#include <QImageReader>
#include <QPixmap>

namespace brivel::ui {

QIcon PngIcon(const QString& file)
{
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

} // namespace brivel::ui
