#pragma once

#include <QColor>
#include <QString>

// Writes a real picture of one colour; the format follows the file's extension (.png, .jpg,
// .bmp, ...). False when it could not be written.
bool writeSolidPicture(const QString& path, const QColor& colour, int width = 64, int height = 48);
