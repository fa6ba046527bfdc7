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

std::optional<QVariant> QSettingsProfile::current(const QString& section,
                                                  const QString& key) const {
    const QString name = fullKey(section, key);
    if (const auto change = m_changes.find(name); change != m_changes.end())
        return change->second;
    const QVariant value = m_settings->value(name);
    return value.isValid() ? std::optional<QVariant>(value) : std::nullopt;
}

std::optional<std::int64_t> QSettingsProfile::readInt(const QString& section,
                                                      const QString& key) const {
    return intOf(current(section, key).value_or(QVariant()));
}

std::optional<QString> QSettingsProfile::readString(const QString& section,
                                                    const QString& key) const {
    return stringOf(current(section, key).value_or(QVariant()));
}

void QSettingsProfile::writeInt(const QString& section, const QString& key, std::int64_t value) {
    const bool fits = value >= INT32_MIN && value <= INT32_MAX;
    m_changes[fullKey(section, key)] =
        fits ? QVariant(static_cast<int>(value)) : QVariant(static_cast<qlonglong>(value));
}

void QSettingsProfile::writeString(const QString& section, const QString& key,
                                   const QString& value) {
    m_changes[fullKey(section, key)] = QVariant(value);
}

void QSettingsProfile::remove(const QString& section, const QString& key) {
    m_changes[fullKey(section, key)] = std::nullopt;
}

bool QSettingsProfile::save() {
    // The store keeps its first error for good, so each change is checked by reading it back.
    QStringList refused;
    for (auto change = m_changes.begin(); change != m_changes.end();) {
        if (change->second)
            m_settings->setValue(change->first, *change->second);
        else
            m_settings->remove(change->first);
        const QVariant stored = m_settings->value(change->first);
        const bool taken = change->second ? stored == *change->second : !stored.isValid();
        if (taken) {
            change = m_changes.erase(change);
        } else {
            refused << change->first;
            ++change;
        }
    }
    m_settings->sync();
    if (!refused.isEmpty())
        qCWarning(lcPlatform) << "could not save" << refused.join(QStringLiteral(", ")) << "in"
                              << m_settings->fileName() << "; they are kept for the next save";
    return refused.isEmpty();
}

void QSettingsProfile::flush() {
    save();
}
