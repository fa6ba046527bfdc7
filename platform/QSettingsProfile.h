#pragma once

#include "platform/Profile.h"

#include <QSettings>
#include <memory>

// Profile over QSettings: an INI file on Linux, the registry on Windows (the factory picks
// the format).
class QSettingsProfile final : public Profile {
public:
    QSettingsProfile(QSettings::Format format, const QString& organisation,
                     const QString& application);
    // A profile kept in one given file, in INI format.
    explicit QSettingsProfile(const QString& iniPath);

    std::optional<std::int64_t> readInt(const QString& section, const QString& key) const override;
    std::optional<QString> readString(const QString& section, const QString& key) const override;
    void writeInt(const QString& section, const QString& key, std::int64_t value) override;
    void writeString(const QString& section, const QString& key, const QString& value) override;
    void remove(const QString& section, const QString& key) override;
    void flush() override;

    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
