#pragma once

#include <QDir>
#include <QString>
#include <string>

// A Qt path ('/' separators) as the wide, backslashed text that Windows calls take.
namespace WindowsPath {
inline std::wstring native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}
inline QString fromNative(const wchar_t* path) {
    return QDir::fromNativeSeparators(QString::fromWCharArray(path));
}
} // namespace WindowsPath
