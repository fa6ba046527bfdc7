#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder that only its owner can write, or also a group that is the user's alone (the
// private group many systems give each user, which makes new folders group-writable).
bool onlyTheUserCanWrite(const struct stat& folder) {
    if ((folder.st_mode & S_IWOTH) != 0)
        return false;
    if ((folder.st_mode & S_IWGRP) == 0)
        return true;
    const passwd* user = ::getpwuid(::getuid());
    const group* own = ::getgrgid(folder.st_gid);
    if (user == nullptr || own == nullptr || folder.st_gid != user->pw_gid ||
        std::strcmp(own->gr_name, user->pw_name) != 0)
        return false;
    for (char** member = own->gr_mem; *member != nullptr; ++member)
        if (std::strcmp(*member, user->pw_name) != 0)
            return false;
    return true;
}

// Another user who can put a file (a link to one of the user's files) at a list's name would
// have the program overwrite it at the next save; so the lists stay beside the program only
// in the user's own folder that no one else can write, holding no list file of someone else's.
bool keepsListsSafe(const QString& folder, const QStringList& lists) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(folder);
    if (::stat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || !onlyTheUserCanWrite(info) ||
        ::access(native.constData(), W_OK | X_OK) != 0)
        return false;
    for (const QString& list : lists) {
        if (::lstat(QFile::encodeName(list).constData(), &info) == 0 && info.st_uid != ::getuid())
            return false;
    }
    return true;
}

// The list files lie beside the program file, named after it without its extension; an
// installed program's folder, or one that others can write, is not the user's, so then they
// are kept in the data folder.
QString listStem(const QFileInfo& program, const QString& dataDir) {
    const QString name = program.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stemName = dot > 0 ? name.left(dot) : name;
    const QString beside = program.absolutePath() + QLatin1Char('/') + stemName;
    if (keepsListsSafe(program.absolutePath(),
                       {beside + QStringLiteral(".txt"), beside + QStringLiteral("_Url.txt")}))
        return beside;
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
