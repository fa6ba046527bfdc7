#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// The text form of a backend's own record in a WallpaperSnapshot: a JSON object tagged with
// the backend's name, so that a record made under another desktop is never misread.
class WallpaperRecord {
public:
    static QString write(const QString& backend, QJsonObject record);
    // The record, when `detail` is one that `backend` wrote.
    static std::optional<QJsonObject> read(const QString& backend, const QString& detail);
};
