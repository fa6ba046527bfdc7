#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>

// File names on Linux are bytes, not always UTF-8. Qt's own conversion turns bytes that are
// not UTF-8 into replacement characters, so such a name can be shown but never opened again.
// This conversion is lossless: valid UTF-8 decodes as usual and every other byte becomes one
// lone surrogate (U+DC80 to U+DCFF) that encodes back to the same byte.
namespace FileName {

QString fromNative(const QByteArray& bytes);
QByteArray toNative(const QString& name);
// The name as the standard library's path, and back: bytes as above where the system names
// files in bytes, UTF-16 as it is where it names them so (Windows).
std::filesystem::path toPath(const QString& name);
QString fromPath(const std::filesystem::path& path);
// True when `name` holds bytes that are not UTF-8 (it only opens through toNative).
bool hasRawBytes(const QString& name);
// `name` with each byte that is not UTF-8 shown as `replacement`: for texts that leave the
// program (the tray tip, D-Bus) or name files of its own.
QString withRawBytesAs(const QString& name, QChar replacement = QChar(0xFFFD));

} // namespace FileName
