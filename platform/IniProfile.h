#pragma once

#include "platform/Profile.h"

#include <QSettings>
#include <map>

// The profile kept in one INI file, in the format QSettings reads and writes. QSettings writes
// through a buffer and can put a file that a full disk cut short in the old one's place, so
// here it never writes the profile: changes are held in memory, and each flush makes a new
// file that replaces the profile only once it reads back with every key and value.
class IniProfile final : public Profile {
public:
    explicit IniProfile(QString path);

    // The file QSettings keeps an INI profile of `organisation` and `application` in for the
    // user ($XDG_CONFIG_HOME/organisation/application.ini).
    static QString userPath(const QString& organisation, const QString& application);

    std::optional<std::int64_t> readInt(const QString& section, const QString& key) const override;
    std::optional<QString> readString(const QString& section, const QString& key) const override;
    void writeInt(const QString& section, const QString& key, std::int64_t value) override;
    void writeString(const QString& section, const QString& key, const QString& value) override;
    void remove(const QString& section, const QString& key) override;
    // Writes the changes; when that fails, the old file stays as it was, one warning says why
    // and the changes are kept for the next flush.
    void flush() override;

    QString fileName() const { return m_path; }

private:
    void change(const QString& section, const QString& key, std::optional<QVariant> value);
    QString write();

    QString m_path;
    QSettings::SettingsMap m_values;
    // Changes not yet in the file: a new value, or none for a removed key.
    std::map<QString, std::optional<QVariant>> m_changes;
};
