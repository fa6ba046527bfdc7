// Any bytes as the profile file: loading gives a record without crashing, and saving that
// record and loading it again gives the same record.
#include "app/SettingsStore.h"
#include "platform/IniProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory where the system has a place for it: every input writes and syncs two files,
    // which on a disk would take most of the time.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/tessaron-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/tessaron-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    WallpaperSettings loaded;
    {
        IniProfile profile(path);
        loaded = SettingsStore(profile, QStringLiteral("/home/user/Pictures")).load();
        (void)loaded.intervalSeconds();
    }
    const QString again = dir.filePath(QStringLiteral("again.ini"));
    QFile::remove(again);
    {
        IniProfile profile(again);
        SettingsStore(profile, QString()).saveAll(loaded);
    }
    IniProfile profile(again);
    if (SettingsStore(profile, QString()).load() != loaded)
        std::abort();
    return 0;
}
