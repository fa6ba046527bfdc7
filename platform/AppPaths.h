#pragma once

#include <QString>

// Where the program keeps its files. Computed once at start from the program file's path and
// the user's environment; the platform decides the folders.
struct AppPaths {
    QString programPath;      // absolute path of the running program file
    QString appName;          // the program file's base name: names the profile and folders
    QString fileListPath;     // binary list of picture files
    QString urlListPath;      // binary list of ftp:// addresses
    QString dataDir;          // per-user data folder of the program
    QString wallpaperDir;     // holds only the bitmap of the current wallpaper
    QString runtimeDir;       // private per-user folder for locks and downloads (mode 0700)
    QString autostartDir;     // the per-user autostart folder
    QString defaultStartPath; // the folder a first start scans

    static AppPaths detect(const QString& programPath);
};

// Creates the folder if needed and makes sure it is a real folder owned by the user and
// private to them. False when that cannot be ensured (then nothing should be put there).
bool ensurePrivateDir(const QString& path);
