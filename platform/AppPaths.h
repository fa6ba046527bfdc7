#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its files. Computed once at start from the program file's path and
// the user's environment; the platform decides the folders.
struct AppPaths {
    QString programPath; // absolute path of the running program file
    // The converter program: beside the program in a build tree, else in the libexec folder
    // of the installation.
    QString converterPath;
    QString appName;      // the program file's base name: names the profile and folders
    QString fileListPath; // binary list of picture files
    QString urlListPath;  // binary list of ftp:// addresses
    // The names never to be shown again, in the same format, beside the other two.
    QString excludedListPath;
    QString dataDir;      // per-user data folder of the program
    QString wallpaperDir; // holds only the bitmap of the current wallpaper
    // Private per-user folder for locks and downloads (mode 0700): the first of the
    // candidates below that is, or can be made, the user's own private folder; empty when
    // none can.
    QString runtimeDir;
    QString autostartDir;     // the per-user autostart folder
    QString defaultStartPath; // the folder a first start scans

    static AppPaths detect(const QString& programPath);
    // Where the runtime folder may be, best first: the session's runtime folder, a folder of
    // the user's own in the temporary folder, then one in the user's cache folder.
    static QStringList runtimeDirCandidates(const QString& appName);
};

// Creates the folder if needed and makes sure it is a real folder owned by the user and
// private to them. False when that cannot be ensured (then nothing should be put there).
bool ensurePrivateDir(const QString& path);
