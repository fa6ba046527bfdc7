#include "platform/QSettingsProfile.h"

#include "platform/LogCategories.h"

QSettingsProfile::QSettingsProfile(QSettings::Format format, const QString& organisation,
                                   const QString& application)
    : m_settings(
          std::make_unique<QSettings>(format, QSettings::UserScope, organisation, application)) {}

QString QSettingsProfile::fullKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

std::optional<std::int64_t> QSettingsProfile::intOf(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<QString> QSettingsProfile::stringOf(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

std::optional<std::int64_t> QSettingsProfile::readInt(const QString& section,
                                                      const QString& key) const {
    return intOf(m_settings->value(fullKey(section, key)));
}

std::optional<QString> QSettingsProfile::readString(const QString& section,
                                                    const QString& key) const {
    return stringOf(m_settings->value(fullKey(section, key)));
}

void QSettingsProfile::writeInt(const QString& section, const QString& key, std::int64_t value) {
    m_settings->setValue(fullKey(section, key), QString::number(value));
}

void QSettingsProfile::writeString(const QString& section, const QString& key,
                                   const QString& value) {
    m_settings->setValue(fullKey(section, key), value);
}

void QSettingsProfile::remove(const QString& section, const QString& key) {
    m_settings->remove(fullKey(section, key));
}

void QSettingsProfile::flush() {
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcPlatform) << "could not save the profile" << m_settings->fileName();
}
