#include "tests/support/PictureFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

bool writeSolidPicture(const QString& path, const QColor& colour, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path);
}
