#include "platform/linux/WallpaperRecord.h"

#include <QJsonDocument>

QString WallpaperRecord::write(const QString& backend, QJsonObject record) {
    record.insert(QStringLiteral("backend"), backend);
    return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

std::optional<QJsonObject> WallpaperRecord::read(const QString& backend, const QString& detail) {
    if (detail.isEmpty())
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(detail.toUtf8());
    if (!document.isObject() || document.object().value(QStringLiteral("backend")) != backend)
        return std::nullopt;
    return document.object();
}
