#pragma once

#include "platform/Profile.h"

#include <QSettings>
#include <map>
#include <memory>

// Profile over a store that QSettings keeps on its own, such as the registry (the factory picks
// the format). A profile in an INI file is IniProfile's, which never lets QSettings write it.
// Integers that fit 32 bits are stored as such (a DWORD in the registry). Changes are held
// until flush(), which writes them one by one and reads each back: a change the store did not
// take is kept for the next flush, and one warning names the keys.
class QSettingsProfile final : public Profile {
public:
    QSettingsProfile(QSettings::Format format, const QString& organisation,
                     const QString& application);

    std::optional<std::int64_t> readInt(const QString& section, const QString& key) const override;
    std::optional<QString> readString(const QString& section, const QString& key) const override;
    void writeInt(const QString& section, const QString& key, std::int64_t value) override;
    void writeString(const QString& section, const QString& key, const QString& value) override;
    void remove(const QString& section, const QString& key) override;
    // True when every change is in the store.
    bool save();
    void flush() override;

    // How a value that QSettings read is taken: integers as decimal text, an INI list value
    // ("a, b") as the text it was, so that no text is lost.
    static QString fullKey(const QString& section, const QString& key);
    static std::optional<std::int64_t> intOf(const QVariant& value);
    static std::optional<QString> stringOf(const QVariant& value);

private:
    std::optional<QVariant> current(const QString& section, const QString& key) const;

    std::unique_ptr<QSettings> m_settings;
    // Changes not yet in the store: a new value, or none for a removed key.
    std::map<QString, std::optional<QVariant>> m_changes;
};
