#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The list files lie beside the program file, named after it without its extension; an
// installed program's folder is not the user's, so then they move to the data folder.
QString listStem(const QFileInfo& program, const QString& dataDir) {
    const QString name = program.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stemName = dot > 0 ? name.left(dot) : name;
    const QString folder = program.absolutePath();
    if (QFileInfo(folder).isWritable())
        return folder + QLatin1Char('/') + stemName;
    return dataDir + QLatin1Char('/') + stemName;
}

QString envDir(const char* name, const QString& fallback) {
    const QByteArray value = qgetenv(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(value)))
        return QString::fromLocal8Bit(value);
    return fallback;
}

} // namespace

AppPaths AppPaths::detect(const QString& programPath) {
    AppPaths paths;
    const QFileInfo program(programPath);
    paths.programPath = program.absoluteFilePath();
    paths.appName = program.completeBaseName();
    const QString beside = program.absolutePath() + QStringLiteral("/tessaron-convert");
    paths.converterPath =
        QFileInfo(beside).isExecutable()
            ? beside
            : QDir::cleanPath(program.absolutePath() +
                              QStringLiteral("/../libexec/tessaron/tessaron-convert"));

    const QString home = QDir::homePath();
    const QString dataHome = envDir("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    const QString configHome = envDir("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    paths.dataDir = dataHome + QStringLiteral("/Halvik/") + paths.appName;
    paths.wallpaperDir = paths.dataDir + QStringLiteral("/Wallpaper");
    paths.autostartDir = configHome + QStringLiteral("/autostart");

    const QString stem = listStem(program, paths.dataDir);
    paths.fileListPath = stem + QStringLiteral(".txt");
    paths.urlListPath = stem + QStringLiteral("_Url.txt");
    paths.excludedListPath = stem + QStringLiteral("_Never.txt");

    for (const QString& candidate : runtimeDirCandidates(paths.appName)) {
        if (ensurePrivateDir(candidate) &&
            access(QFile::encodeName(candidate).constData(), W_OK | X_OK) == 0) {
            paths.runtimeDir = candidate;
            break;
        }
    }

    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    paths.defaultStartPath = !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : home;
    return paths;
}

QStringList AppPaths::runtimeDirCandidates(const QString& appName) {
    QStringList candidates;
    const QString runtime = envDir("XDG_RUNTIME_DIR", QString());
    if (!runtime.isEmpty())
        candidates << runtime + QLatin1Char('/') + appName;
    const QString user = QString::number(getuid());
    candidates << QDir::tempPath() + QLatin1Char('/') + appName + QLatin1Char('-') + user;
    const QString cacheHome =
        envDir("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache"));
    candidates << cacheHome + QStringLiteral("/Halvik/") + appName + QStringLiteral("-run-") + user;
    return candidates;
}

bool ensurePrivateDir(const QString& path) {
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (lstat(native.constData(), &info) != 0)
        return false;
    // Someone else's folder, or a link planted in a shared temporary folder, is never used.
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return false;
    if ((info.st_mode & 0077) != 0 && chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}
