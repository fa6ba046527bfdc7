#pragma once

#include "worker/ChangeServices.h"
#include "worker/SlideShowState.h"
#include "worker/SlideShowWorker.h"
#include "worker/TipChannel.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// A slide show over real folders and files with recording services: the conversion writes a
// small bitmap file (and fails for a picture named "broken") and can be held at a gate (an abort
// ends it there), the desktop records what it was asked to show.
class WorkerRig {
public:
    WorkerRig();
    ~WorkerRig();

    QString root() const { return m_dir.path(); }
    // The program's data folder, holding the wallpaper folder.
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    QString wallpaperDir() const { return m_dir.filePath(QStringLiteral("data/Wallpaper")); }
    // Every file in the wallpaper folder, hidden ones too.
    QStringList wallpaperFiles() const;
    // Creates the file (and its folders) under the root; returns its full path.
    QString makeFile(const QString& relative);
    QString makeFolder(const QString& relative);
    QString makeLink(const QString& relative, const QString& target);

    SlideShowState& state() { return m_state; }
    void setSettings(const std::function<void(WallpaperSettings&)>& edit);
    void setFileList(const QStringList& entries);
    void setUrlList(const QStringList& entries);
    WallpaperSettings settings() const { return m_state.settings(); }

    SlideShowWorker& worker();
    ChangeServices& services() { return m_services; }
    // The desktop's screens (one 1920x1080 screen until set); with `spanning` the desktop
    // takes one picture for all screens and the rig puts the screens' bitmaps together.
    void setScreens(const std::vector<ScreenMetrics>& screens, bool spanning = false);

    // Recorded calls, as bitmap file names ("A.bmp") and full paths. A change over several
    // screens is one entry: "SCREEN=NAME.bmp SCREEN=NAME.bmp", or the spanned bitmap's path.
    QStringList applied() const;
    QStringList appliedNames() const;
    QStringList converted() const;
    // The screen each conversion was made for, by name, and the layout it was made with.
    QStringList convertedFor() const;
    std::vector<WallpaperLayout> convertedLayouts() const;
    QStringList tips() const;
    QString lastTip() const;
    int convertCalls() const;
    // Lines logged in the program's categories ("tessaron.worker: ...") while the rig lived.
    QStringList logLines() const;

    bool waitForApplied(int count);
    bool waitForTips(int count);
    bool waitForConvertCalls(int count);

    // While closed, a conversion of a picture under `folder` (of any picture when empty) waits
    // at the gate after being recorded. The bitmap written names the picture.
    void closeConvertGate(const QString& folder = QString());
    void openConvertGate();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_gateChanged;
    bool m_gateOpen = true;
    std::uint64_t m_aborts = 0;
    QString m_gateFolder;
    QStringList m_applied;
    QStringList m_converted;
    QStringList m_convertedFor;
    std::vector<WallpaperLayout> m_convertedLayouts;
    QStringList m_tips;
    std::vector<ScreenMetrics> m_screens{ScreenMetrics{}};

    QTemporaryDir m_dir;
    SlideShowState m_state;
    TipChannel m_tipChannel;
    ChangeServices m_services;
    std::unique_ptr<SlideShowWorker> m_worker;
};
