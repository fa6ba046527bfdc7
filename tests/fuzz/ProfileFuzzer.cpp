// Any bytes as the profile file: loading gives a record without crashing, and saving that
// record and loading it again gives the same record.
#include "app/SettingsStore.h"
#include "platform/IniProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <deque>

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
    // Most inputs load a record that an earlier input loaded too, and saving the same record
    // takes the same path: those are not saved again, which more than doubles the inputs run.
    static std::deque<WallpaperSettings> recent;
    if (std::find(recent.cbegin(), recent.cend(), loaded) != recent.cend())
        return 0;
    recent.push_front(loaded);
    if (recent.size() > 256)
        recent.pop_back();
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
