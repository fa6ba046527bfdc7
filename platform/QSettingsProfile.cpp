#include "platform/QSettingsProfile.h"

#include "platform/RegularFile.h"

namespace {
QString fullKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}
} // namespace

QSettingsProfile::QSettingsProfile(QSettings::Format format, const QString& organisation,
                                   const QString& application)
    : m_settings(
          std::make_unique<QSettings>(format, QSettings::UserScope, organisation, application)) {}

QSettingsProfile::QSettingsProfile(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

std::optional<std::int64_t> QSettingsProfile::readInt(const QString& section,
                                                      const QString& key) const {
    const QVariant value = m_settings->value(fullKey(section, key));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<QString> QSettingsProfile::readString(const QString& section,
                                                    const QString& key) const {
    const QVariant value = m_settings->value(fullKey(section, key));
    if (!value.isValid())
        return std::nullopt;
    // An INI list value ("a, b") comes back as a string list; join it so that no text is lost.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
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
    // The profile holds the FTP password; a profile written before with a wider mode is
    // narrowed too.
    if (m_settings->status() == QSettings::NoError)
        RegularFile::makePrivate(m_settings->fileName());
}

QString QSettingsProfile::fileName() const {
    return m_settings->fileName();
}
