#pragma once

#include "worker/ChangeServices.h"
#include "worker/PictureHistory.h"
#include "worker/PictureTest.h"
#include "worker/SlideShowState.h"

#include <QString>
#include <QStringList>
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
//
// With "EachScreen" on and several screens, one change spans as many steps of the source as
// there are screens: each picture the source shows (makeChange) is converted for the next
// screen, left to right, then top to bottom, and advances the source's position at once; a
// picture that fails is passed over (at most as many as there are screens, so that a folder of
// unreadable pictures is not walked round and round). The change is put in place and applied
// when every screen has its picture, or when the source stops for a wait before that (it had
// nothing more to show), screens left over showing the pictures taken again; only then is the
// next change request awaited. The sources need not know.
//
// Every change a source makes is recorded in the history. A change request while the history
// has a change to show (going back, or forward again after that) shows that change again,
// converted anew from its source, with no source called and no position moved; the source is
// asked for a new picture only once the newest change is on the screen again.
//
// With one picture for all screens, a layout whose bitmap depends on the screen (Fill, a
// colour around the picture, ...) on screens of different sizes gets a bitmap made for each
// screen, and "Span all screens" (whatever "EachScreen" says) gives each screen its part of the
// one picture, or, for a desktop that takes one picture, one bitmap over all screens.
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
    // Requests that the history answers are answered here, until it is the source's turn.
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
    // The tip of a picture shown (or passed over): "Tessaron - " and its name; a change over
    // several screens names all its pictures, separated by ", ".
    void tipPicture(const QString& name);

    // The picture test with the picture types the settings choose now.
    std::optional<PictureMatch> testPicture(const QString& path);

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
    // the bitmap was converted and put in place; the state's current picture is then
    // `picture`'s name for a URL-list picture, else `source` (with several screens, every
    // screen's, joined), and the change is recorded in the history as `picture` (its kind and
    // name) and announced to the `changed` service.
    bool makeChange(const QString& source, const QString& bitmapName, const Advance& advance,
                    const ShownPicture& picture);
    // Whether a change over several screens has taken some pictures and waits for more.
    bool changePending() const { return m_change.has_value(); }
    // Removes what an unfinished change over several screens left (its private bitmaps).
    void discardChange();

    // The download of the FTP source; "" on failure, when there is no downloader, or when
    // the run is stopped meanwhile.
    QString download(const QString& remoteName);

    const ChangeServices& services() const { return m_services; }
    const QString& wallpaperDir() const { return m_wallpaperDir; }
    const QString& dataDir() const { return m_dataDir; }
    Shared& shared() { return *m_shared; }

private:
    // A change over several screens, filled one step of the source at a time.
    struct ScreenChange {
        struct Part {
            QString staging;    // this run's private name until the change is put in place
            QString bitmapName; // named after the picture
        };
        std::vector<ScreenMetrics> screens;
        WallpaperLayout layout;
        std::vector<Part> parts; // converted, for screens 0, 1, ... in order
        std::size_t failed = 0;
        QStringList names;                  // every picture taken, for the tip
        std::vector<ShownPicture> pictures; // the pictures converted, with their parts
        bool stepTaken = false;
        // One bitmap over all screens (screens holds the whole desktop as one), shown spanned
        // as it is.
        bool wholeDesktop = false;

        bool complete() const { return parts.size() == screens.size() || failed >= screens.size(); }
    };

    void throwIfCancelled() const;
    // Both called with the gate held. The wallpaper folder is emptied of everything but this
    // run's own private bitmaps.
    bool ensureWallpaperFolder() const;
    void emptyWallpaperFolder() const;
    // Converts into `staging`; a stop ends the conversion at once (false, or Stopped thrown).
    bool convert(const QString& source, const QString& staging, const WallpaperLayout& layout,
                 const ScreenMetrics& screen);
    // Once the bitmap is applied, under the gate: advances the source and notes `picture` as
    // shown.
    bool convertAndApply(const QString& source, const QString& bitmap,
                         const WallpaperLayout& layout, const ScreenMetrics& screen,
                         ShownPicture picture, const Advance& advance);
    bool takeForScreen(const QString& source, const QString& bitmapName, const Advance& advance,
                       const ShownPicture& picture);
    // One picture made for each of `screens` (see the class comment).
    bool spreadChange(const QString& source, const QString& bitmapName, const Advance& advance,
                      const ShownPicture& picture, const WallpaperLayout& layout,
                      std::vector<ScreenMetrics> screens);
    void finishChange();
    // Puts the change's bitmaps in place and shows them; then, under the same gate, notes the
    // change as shown with `advance` (noteShown). False when no picture was converted.
    bool showChange(const ScreenChange& change, const Advance& advance);
    // The pictures of a change over several screens as each screen shows them: `staged`
    // holds each screen's bitmap, `spanned` the one over all of them where the desktop takes
    // one.
    std::vector<ShownPicture> screenPictures(const ScreenChange& change,
                                             const std::vector<ScreenBitmap>& staged,
                                             const QString& spanned) const;
    // Under the gate, with the change applied: the source's advance, the state's current
    // picture, the history, and the `changed` service.
    void noteShown(const std::vector<ShownPicture>& pictures, const Advance& advance);

    // Waits for change requests, showing changes of the history for them, until one is the
    // source's turn.
    void awaitSourceTurn();
    // The history's change for a change request, passing over the changes that are gone;
    // false when it is the source's turn.
    bool showFromHistory();
    bool showAgain(const PictureHistory::Change& change);
    QString stagingPath(const QString& suffix) const;
    std::vector<ScreenMetrics> currentScreens() const;
    bool stopRequested();

    SlideShowState& m_state;
    TipChannel& m_tips;
    const ChangeServices m_services;
    const QString m_wallpaperDir;
    const QString m_dataDir;
    // The name this run converts to before the bitmap is moved into place, and the start of
    // the names of its other private bitmaps.
    const QString m_stagingName;
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
    // Worker thread only.
    std::optional<ScreenChange> m_change;
    // The history's change being shown again, which is not recorded as a new one.
    std::optional<std::uint64_t> m_showingAgain;
};
