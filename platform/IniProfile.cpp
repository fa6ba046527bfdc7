#include "platform/IniProfile.h"

#include "platform/LogCategories.h"
#include "platform/QSettingsProfile.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>

using namespace std::chrono_literals;

namespace {

// Every key and value of an INI file as QSettings reads it; nothing when the file is there
// but cannot be read (a FIFO in its place would even block the read).
std::optional<QSettings::SettingsMap> readAll(const QString& path) {
    if (RegularFile::isOtherThanRegular(path))
        return std::nullopt;
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return std::nullopt;
    QSettings::SettingsMap values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

// The INI text QSettings makes of `values`. It only writes files, so it writes one under a
// new name in `folder`, which is read and removed.
std::optional<QByteArray> iniText(const QSettings::SettingsMap& values, const QString& folder) {
    QTemporaryFile scratch(folder + QStringLiteral("/.profile-XXXXXX"));
    if (!scratch.open())
        return std::nullopt;
    scratch.close();
    {
        QSettings writer(scratch.fileName(), QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            writer.setValue(it.key(), it.value());
        writer.sync();
        if (writer.status() != QSettings::NoError)
            return std::nullopt;
    }
    QFile file;
    if (!RegularFile::openForReading(file, scratch.fileName()))
        return std::nullopt;
    QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return text;
}

} // namespace

IniProfile::IniProfile(QString path) : m_path(std::move(path)) {
    if (const auto values = readAll(m_path))
        m_values = *values;
    else
        qCWarning(lcPlatform) << "the profile cannot be read, defaults are used:" << m_path;
}

QString IniProfile::userPath(const QString& organisation, const QString& application) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, organisation, application)
        .fileName();
}

std::optional<std::int64_t> IniProfile::readInt(const QString& section, const QString& key) const {
    return QSettingsProfile::intOf(m_values.value(QSettingsProfile::fullKey(section, key)));
}

std::optional<QString> IniProfile::readString(const QString& section, const QString& key) const {
    return QSettingsProfile::stringOf(m_values.value(QSettingsProfile::fullKey(section, key)));
}

void IniProfile::writeInt(const QString& section, const QString& key, std::int64_t value) {
    change(section, key, QString::number(value));
}

void IniProfile::writeString(const QString& section, const QString& key, const QString& value) {
    change(section, key, value);
}

void IniProfile::remove(const QString& section, const QString& key) {
    change(section, key, std::nullopt);
}

void IniProfile::change(const QString& section, const QString& key, std::optional<QVariant> value) {
    const QString name = QSettingsProfile::fullKey(section, key);
    if (value)
        m_values.insert(name, *value);
    else
        m_values.remove(name);
    m_changes[name] = std::move(value);
}

void IniProfile::flush() {
    if (m_changes.empty())
        return;
    const QString error = write();
    if (!error.isEmpty())
        qCWarning(lcPlatform).noquote()
            << "could not save the profile" << m_path << "(the old one is kept):" << error;
}

QString IniProfile::write() {
    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(folder);
    // QSettings' own lock of the file, so that no other writer of it is overtaken. A lock that
    // a crash left (empty, when it came between the lock's creation and its record) is taken
    // over after a second; Qt never removes a lock whose holder lives, as that holds it locked.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(1s);
    lock.tryLock(2s); // else write all the same: the new file replaces the old one whole

    // The file as it is now (another copy may have changed keys this one did not), with the
    // changes made here.
    std::optional<QSettings::SettingsMap> wanted = readAll(m_path);
    if (!wanted)
        return QStringLiteral("it cannot be read");
    for (const auto& [name, value] : m_changes) {
        if (value)
            wanted->insert(name, *value);
        else
            wanted->remove(name);
    }
    const std::optional<QByteArray> text = iniText(*wanted, folder);
    if (!text)
        return QStringLiteral("the new profile could not be written");
    QString error;
    bool whole = true;
    const auto readsBack = [&](const QString& written) {
        return whole = readAll(written) == wanted;
    };
    if (!RegularFile::replace(m_path, *text, readsBack, &error))
        return whole ? error : QStringLiteral("the new profile did not read back whole");
    m_values = *wanted;
    m_changes.clear();
    return {};
}
