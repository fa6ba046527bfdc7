#pragma once

#include "worker/ChangeServices.h"
#include "worker/SlideShowState.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TipChannel;

// One worker's run: its own change and stop requests, and its only door to the shared state,
// the tray tip and the wallpaper. Stopping a run is addressed to this run alone, so a
// replacement worker never consumes a stop meant for its predecessor. Once a stop has been
// requested the run touches nothing shared again: every access checks the stop under the
// same gate that the stopping thread takes, and a stopped run ends at its next stop test.
// That includes the wallpaper folder: a stopped run neither empties it nor puts a bitmap in it.
class WorkerRun {
public:
    // How a change moves its source's position on, applied under the state's lock.
    using Advance = std::function<void(SlideShowState::Data&)>;

    // Thrown at a stop test that finds the run stopped; ends the worker with exit code 0.
    struct Stopped {};

    // Shared by every run of one slide show: downloads run one at a time, and tests count
    // how often sources are called.
    struct Shared {
        std::mutex downloadMutex;
        std::atomic<std::uint64_t> sourceCalls{0};
    };

    // `dataDir` is the program's own data folder (holding the wallpaper folder), which the
    // folder walk never enters.
    WorkerRun(SlideShowState& state, TipChannel& tips, ChangeServices services,
              QString wallpaperDir, QString dataDir, std::shared_ptr<Shared> shared);

    // --- Called by the thread that controls the worker.
    void requestChange();
    // After this returns the run reads no state, applies nothing, posts no tip and neither
    // empties the wallpaper folder nor moves a bitmap into it; a download or conversion in
    // progress is aborted.
    void requestStop();
    // The shared state changed: a run that has nothing to show may try again.
    void notifyStateChanged();

    // --- Called on the worker thread.
    // The stop test: throws Stopped when a stop was requested.
    void checkStop();
    // Change steps 7 and 8: waits for a change request (consuming it), then the stop test.
    void waitForChange();
    // After a call of a source that had nothing to show: waits for a change request, a stop,
    // or a change of the shared state, and in any case until a second has passed since the
    // attempt began, so a fruitless attempt is never repeated more than once a second.
    void waitAfterNothingShown();
    // Waits until the lists are loaded (or a stop).
    void waitForLists();
    void beginAttempt();

    template <class F> auto read(F&& f) {
        std::lock_guard gate(m_gateMutex);
        throwIfCancelled();
        return m_state.read(std::forward<F>(f));
    }
    template <class F> auto modify(F&& f) {
        std::lock_guard gate(m_gateMutex);
        throwIfCancelled();
        return m_state.modify(std::forward<F>(f));
    }

    // Sets the tray tip, unless the run was stopped or the window is gone.
    void tip(const QString& text);

    // The text of the list's current entry, its position wrapped first; nothing when the
    // list is empty.
    std::optional<QString> currentEntry(ListKind kind);
    // The advance of a list source: the position moves to the list's next entry.
    static Advance nextEntry(ListKind kind);

    // The path of the bitmap `bitmapName` in the wallpaper folder.
    QString bitmapPath(const QString& bitmapName) const;
    // Makes sure the wallpaper folder is a real folder, as makeChange does; a failure is
    // logged and shows again at the next change.
    void prepareWallpaperFolder();

    // Change steps 1 to 5: emptying the wallpaper folder (files only), conversion, application
    // (skipped when the conversion failed) and the advance of the source's position. A link in
    // the folder's place is replaced by a real folder, never emptied. The bitmap is converted
    // under a name of this run's own and moved into place under the gate, so a run stopped
    // meanwhile leaves nothing behind and never replaces its successor's bitmap. True when
    // the bitmap was converted and put in place.
    bool makeChange(const QString& source, const QString& bitmapName, const Advance& advance);

    // The download of the FTP source; "" on failure, when there is no downloader, or when
    // the run is stopped meanwhile.
    QString download(const QString& remoteName);

    const ChangeServices& services() const { return m_services; }
    const QString& wallpaperDir() const { return m_wallpaperDir; }
    const QString& dataDir() const { return m_dataDir; }
    Shared& shared() { return *m_shared; }

private:
    void throwIfCancelled() const;
    // Both called with the gate held.
    bool ensureWallpaperFolder() const;
    void emptyWallpaperFolder() const;
    bool convertAndApply(const QString& source, const QString& bitmap, std::int32_t layout);
    bool stopRequested();

    SlideShowState& m_state;
    TipChannel& m_tips;
    const ChangeServices m_services;
    const QString m_wallpaperDir;
    const QString m_dataDir;
    // The name this run converts to before the bitmap is moved into place.
    const QString m_stagingPath;
    const std::shared_ptr<Shared> m_shared;

    // Guards every access to the shared state, the tip and the wallpaper against a stop.
    std::mutex m_gateMutex;
    bool m_cancelled = false;

    std::mutex m_signalMutex;
    std::condition_variable m_signal;
    bool m_changeRequested = false;
    bool m_stopRequested = false;

    std::atomic<bool> m_downloading{false};
    std::atomic<bool> m_converting{false};
    std::chrono::steady_clock::time_point m_attemptStart{};
};
