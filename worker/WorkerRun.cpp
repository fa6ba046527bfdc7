#include "worker/WorkerRun.h"

#include "platform/FileName.h"
#include "platform/LogCategories.h"
#include "resources/AppTexts.h"
#include "worker/ShownAgain.h"
#include "worker/TipChannel.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// However often something asks a fruitless source to try again, it tries at most this often.
constexpr std::chrono::seconds kRetrySpacing{1};

fs::path fsPath(const QString& path) {
    return FileName::toPath(path);
}

QString qPath(const fs::path& path) {
    return FileName::fromPath(path);
}

QString reason(const std::error_code& error) {
    return QString::fromStdString(error.message());
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// A hidden name that no picture gives (bitmap names end in ".bmp" after a picture's name) and
// no other run uses: the process (another session may share the folder) and a run number.
QString stagingName() {
    static std::atomic<std::uint64_t> runs{0};
    return QStringLiteral(".converting-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(runs.fetch_add(1) + 1);
}

// `name` unless `used` has it; else the name with "-2", "-3", ... before its ".bmp".
QString unusedName(const QString& name, const QStringList& used) {
    if (!used.contains(name))
        return name;
    const QString stem = name.endsWith(QLatin1String(".bmp")) ? name.chopped(4) : name;
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral("-%1.bmp").arg(n);
        if (!used.contains(candidate))
            return candidate;
    }
}

void removeFile(const QString& path) {
    std::error_code ignored;
    fs::remove(fsPath(path), ignored);
}

// What the state calls the picture on the screen: a URL-list picture by its entry, any other
// by the file converted.
QString currentName(const ShownPicture& picture) {
    return picture.kind == PictureKind::UrlList ? picture.name : picture.file;
}

} // namespace

WorkerRun::WorkerRun(SlideShowState& state, TipChannel& tips, ChangeServices services,
                     QString wallpaperDir, QString dataDir, std::shared_ptr<Shared> shared)
    : m_state(state), m_tips(tips), m_services(std::move(services)),
      m_wallpaperDir(std::move(wallpaperDir)), m_dataDir(std::move(dataDir)),
      m_stagingName(stagingName()), m_stagingPath(stagingPath(QString())),
      m_shared(std::move(shared)) {}

void WorkerRun::requestChange() {
    {
        std::lock_guard lock(m_signalMutex);
        m_changeRequested = true;
    }
    m_signal.notify_all();
}

void WorkerRun::requestStop() {
    {
        std::lock_guard lock(m_signalMutex);
        m_stopRequested = true;
    }
    m_signal.notify_all();
    // Waits for an application or a state access in progress; none starts after this.
    {
        std::lock_guard gate(m_gateMutex);
        m_cancelled = true;
    }
    if (m_downloading.load() && m_services.abortDownload)
        m_services.abortDownload();
    if (m_converting.load() && m_services.abortConversion)
        m_services.abortConversion();
}

void WorkerRun::notifyStateChanged() {
    // Taking the mutex orders the notification after a waiter's test of the revision.
    { std::lock_guard lock(m_signalMutex); }
    m_signal.notify_all();
}

bool WorkerRun::stopRequested() {
    std::lock_guard lock(m_signalMutex);
    return m_stopRequested;
}

void WorkerRun::checkStop() {
    if (stopRequested())
        throw Stopped{};
}

void WorkerRun::throwIfCancelled() const {
    if (m_cancelled)
        throw Stopped{};
}

void WorkerRun::waitForChange() {
    if (m_change) {
        // The source goes on to its next picture while screens are still without one.
        if (m_change->stepTaken && !m_change->complete()) {
            m_change->stepTaken = false;
            checkStop();
            return;
        }
        finishChange();
    }
    awaitSourceTurn();
}

void WorkerRun::awaitSourceTurn() {
    do {
        {
            std::unique_lock lock(m_signalMutex);
            m_signal.wait(lock, [this] { return m_changeRequested || m_stopRequested; });
            m_changeRequested = false;
        }
        checkStop();
    } while (showFromHistory());
}

bool WorkerRun::showFromHistory() {
    for (;;) {
        const std::optional<PictureHistory::Change> next =
            modify([](SlideShowState::Data& d) { return d.history.takeNext(); });
        if (!next)
            return false;
        // A change of which nothing is left passes its turn, as a picture gone does.
        if (showAgain(*next))
            return true;
    }
}

bool WorkerRun::showAgain(const PictureHistory::Change& change) {
    std::vector<ShownAgain::Found> found;
    for (const ShownPicture& picture : change.pictures)
        if (std::optional<ShownAgain::Found> again = ShownAgain::find(*this, picture))
            found.push_back(std::move(*again));
    if (found.empty())
        return false;
    m_showingAgain = change.id;
    struct Done {
        std::optional<std::uint64_t>& id;
        ~Done() { id.reset(); }
    } done{m_showingAgain};
    const Advance stay = [](SlideShowState::Data&) {};
    const auto [layout, eachScreen] = read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.wallpaperLayout(), d.settings.EachScreen != 0);
    });
    std::vector<ScreenMetrics> screens = currentScreens();
    // A change over several screens is shown again over the screens there are now; one
    // picture of it when the desktop shows one for all, or one picture spans them.
    if (eachScreen && screens.size() > 1 && layout.value() != ImageLayout::Span)
        m_change = ScreenChange{std::move(screens), layout, {}, 0, {}, {}, false, false};
    else
        found.resize(1);
    for (const ShownAgain::Found& again : found) {
        if (m_change && m_change->complete())
            break;
        makeChange(again.file, again.bitmapName, stay, again.picture);
        tipPicture(again.picture.displayName());
    }
    if (m_change)
        finishChange();
    return true;
}

void WorkerRun::beginAttempt() {
    m_attemptStart = std::chrono::steady_clock::now();
    m_shared->sourceCalls.fetch_add(1);
}

void WorkerRun::waitAfterNothingShown() {
    // The attempt's own changes (a wrapped position) are not a reason to try again.
    checkStop();
    const std::uint64_t revision = m_state.revision();
    bool requested = false;
    {
        std::unique_lock lock(m_signalMutex);
        m_signal.wait(lock, [&] {
            return m_stopRequested || m_changeRequested || m_state.revision() != revision;
        });
        m_signal.wait_until(lock, m_attemptStart + kRetrySpacing,
                            [this] { return m_stopRequested; });
        // Requests made meanwhile are answered by the one retry that follows.
        requested = m_changeRequested;
        m_changeRequested = false;
    }
    checkStop();
    // Going back does not wait for the source to have something to show.
    if (requested && showFromHistory())
        awaitSourceTurn();
}

void WorkerRun::waitForLists() {
    for (;;) {
        const std::uint64_t revision = m_state.revision();
        if (read([](const SlideShowState::Data& d) { return d.listsLoaded; }))
            return;
        std::unique_lock lock(m_signalMutex);
        m_signal.wait(lock, [&] { return m_stopRequested || m_state.revision() != revision; });
        if (m_stopRequested)
            throw Stopped{};
    }
}

void WorkerRun::tip(const QString& text) {
    std::lock_guard gate(m_gateMutex);
    if (!m_cancelled)
        m_tips.post(text);
}

void WorkerRun::tipPicture(const QString& name) {
    if (m_change)
        m_change->names.append(FileName::withRawBytesAs(name));
    else
        tip(QString::fromLatin1(AppTexts::kTipPrefix) + FileName::withRawBytesAs(name));
}

std::optional<PictureMatch> WorkerRun::testPicture(const QString& path) {
    const bool allTypes =
        read([](const SlideShowState::Data& d) { return d.settings.AllPictureTypes != 0; });
    return PictureTest::test(path, m_services.resolveShortcut, allTypes);
}

std::optional<QString> WorkerRun::currentEntry(ListKind kind) {
    return modify([kind](SlideShowState::Data& d) { return ::currentEntry(d, kind); });
}

WorkerRun::Advance WorkerRun::nextEntry(ListKind kind) {
    return [kind](SlideShowState::Data& d) { advancePosition(d, kind); };
}

QString WorkerRun::bitmapPath(const QString& bitmapName) const {
    return joinPath(m_wallpaperDir, bitmapName);
}

QString WorkerRun::stagingPath(const QString& suffix) const {
    return joinPath(m_wallpaperDir, m_stagingName + suffix + QStringLiteral(".bmp"));
}

std::vector<ScreenMetrics> WorkerRun::currentScreens() const {
    std::vector<ScreenMetrics> screens;
    if (m_services.screens)
        screens = m_services.screens();
    if (screens.empty())
        screens.push_back(ScreenMetrics{});
    return screens;
}

void WorkerRun::prepareWallpaperFolder() {
    std::lock_guard gate(m_gateMutex);
    throwIfCancelled();
    ensureWallpaperFolder();
}

bool WorkerRun::ensureWallpaperFolder() const {
    const fs::path folder = fsPath(m_wallpaperDir);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(folder, error);
    if (fs::is_directory(status))
        return true;
    if (fs::is_symlink(status)) {
        // Emptying it would delete the files of its target, whatever they are.
        qCWarning(lcWorker).noquote()
            << QStringLiteral("The wallpaper folder %1 is a symbolic link (to %2); it is not "
                              "emptied but replaced by a real folder")
                   .arg(m_wallpaperDir, qPath(fs::read_symlink(folder, error)));
        fs::remove(folder, error);
        if (error) {
            qCWarning(lcWorker).noquote() << QStringLiteral("Cannot remove the link %1: %2")
                                                 .arg(m_wallpaperDir, reason(error));
            return false;
        }
    } else if (fs::exists(status)) {
        qCWarning(lcWorker).noquote()
            << QStringLiteral("The wallpaper folder %1 is not a folder; no wallpaper can be made")
                   .arg(m_wallpaperDir);
        return false;
    }
    fs::create_directories(folder, error);
    if (error) {
        qCWarning(lcWorker).noquote() << QStringLiteral("Cannot create the wallpaper folder %1: %2")
                                             .arg(m_wallpaperDir, reason(error));
        return false;
    }
    return true;
}

void WorkerRun::emptyWallpaperFolder() const {
    std::error_code error;
    for (fs::directory_iterator it(fsPath(m_wallpaperDir), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code entryError;
        // Folders (and links to folders) stay, and so do this run's own unfinished bitmaps.
        if (it->is_directory(entryError) ||
            qPath(it->path().filename()).startsWith(m_stagingName) ||
            fs::remove(it->path(), entryError) || !entryError)
            continue;
        qCWarning(lcWorker).noquote()
            << QStringLiteral("Cannot delete %1 from the wallpaper folder: %2")
                   .arg(qPath(it->path()), reason(entryError));
    }
    if (error)
        qCWarning(lcWorker).noquote() << QStringLiteral("Cannot empty the wallpaper folder %1: %2")
                                             .arg(m_wallpaperDir, reason(error));
}

bool WorkerRun::makeChange(const QString& source, const QString& bitmapName, const Advance& advance,
                           const ShownPicture& picture) {
    if (m_change)
        return takeForScreen(source, bitmapName, advance, picture);
    const auto [layout, eachScreen] = read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.wallpaperLayout(), d.settings.EachScreen != 0);
    });
    std::vector<ScreenMetrics> screens = currentScreens();
    const bool several = screens.size() > 1;
    const bool spanned = several && layout.value() == ImageLayout::Span;
    if (eachScreen && several && !spanned) {
        m_change = ScreenChange{std::move(screens), layout, {}, 0, {}, {}, false, false};
        return takeForScreen(source, bitmapName, advance, picture);
    }
    const bool alike = std::all_of(screens.begin(), screens.end(), [&](const ScreenArea& s) {
        return s == static_cast<const ScreenArea&>(screens.front());
    });
    if (spanned || (!alike && layout.dependsOnScreen()))
        return spreadChange(source, bitmapName, advance, picture, layout, std::move(screens));

    const QString bitmap = bitmapPath(bitmapName);
    bool folderReady = false;
    {
        std::lock_guard gate(m_gateMutex);
        throwIfCancelled();
        folderReady = ensureWallpaperFolder();
        if (folderReady)
            emptyWallpaperFolder();
    }
    const ScreenMetrics screen = ScreenInfo::primaryOf(screens);
    ShownPicture shownPicture = picture;
    shownPicture.screen = screen.name;
    shownPicture.file = source;
    shownPicture.bitmap = shownPicture.screenBitmap = bitmap;
    const bool shown = folderReady && m_services.convert &&
                       convertAndApply(source, bitmap, layout, screen, shownPicture, advance);
    // A picture that was not shown uses up its turn all the same.
    if (!shown)
        modify(advance);
    return shown;
}

bool WorkerRun::convert(const QString& source, const QString& staging,
                        const WallpaperLayout& layout, const ScreenMetrics& screen) {
    m_converting.store(true);
    struct Reset {
        std::atomic<bool>& flag;
        ~Reset() { flag.store(false); }
    } reset{m_converting};
    // Either the stopping thread sees the flag and ends the conversion, or this test sees its
    // stop.
    checkStop();
    return m_services.convert(source, staging, layout, screen);
}

bool WorkerRun::convertAndApply(const QString& source, const QString& bitmap,
                                const WallpaperLayout& layout, const ScreenMetrics& screen,
                                ShownPicture picture, const Advance& advance) {
    // Removed on every way out; after the move into place there is nothing left to remove.
    struct Staged {
        fs::path path;
        ~Staged() {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    } staged{fsPath(m_stagingPath)};
    if (!convert(source, m_stagingPath, layout, screen))
        return false;

    std::lock_guard gate(m_gateMutex);
    throwIfCancelled();
    std::error_code error;
    fs::rename(staged.path, fsPath(bitmap), error);
    if (error) {
        qCWarning(lcWorker).noquote()
            << QStringLiteral("Cannot put the wallpaper bitmap %1 in place: %2")
                   .arg(bitmap, reason(error));
        return false;
    }
    if (m_services.apply)
        m_services.apply(bitmap, layout.layout);
    if (picture.kind == PictureKind::UrlList)
        picture.file = ShownAgain::keepDownload(picture.file, 0);
    // Under the same gate as the application: a stop can no longer come between the two and
    // leave the picture just shown to be shown again after a restart.
    noteShown({picture}, advance);
    return true;
}

void WorkerRun::noteShown(const std::vector<ShownPicture>& pictures, const Advance& advance) {
    m_state.modify([&](SlideShowState::Data& d) {
        advance(d);
        QStringList names;
        for (const ShownPicture& picture : pictures)
            names.append(currentName(picture));
        d.currentPicture = names.join(QStringLiteral(", "));
        if (m_showingAgain)
            d.history.reshown(*m_showingAgain, pictures);
        else
            d.history.record(pictures);
    });
    if (m_services.changed)
        m_services.changed(pictures);
}

bool WorkerRun::takeForScreen(const QString& source, const QString& bitmapName,
                              const Advance& advance, const ShownPicture& picture) {
    ScreenChange& change = *m_change;
    const std::size_t screen = change.parts.size();
    const QString staging = stagingPath(QStringLiteral("-%1").arg(screen + 1));
    bool folderReady = false;
    {
        std::lock_guard gate(m_gateMutex);
        throwIfCancelled();
        folderReady = ensureWallpaperFolder();
    }
    const bool converted = folderReady && m_services.convert &&
                           convert(source, staging, change.layout, change.screens[screen]);
    if (converted) {
        change.parts.push_back({staging, bitmapName});
        change.pictures.push_back(picture);
        change.pictures.back().file = source;
    } else {
        removeFile(staging);
        ++change.failed;
    }
    change.stepTaken = true;
    modify(advance);
    return converted;
}

void WorkerRun::discardChange() {
    if (!m_change)
        return;
    for (const ScreenChange::Part& part : m_change->parts)
        removeFile(part.staging);
    removeFile(stagingPath(QStringLiteral("-all")));
    m_change.reset();
}

bool WorkerRun::spreadChange(const QString& source, const QString& bitmapName,
                             const Advance& advance, const ShownPicture& picture,
                             const WallpaperLayout& layout, std::vector<ScreenMetrics> screens) {
    ScreenChange change{std::move(screens), layout, {}, 0, {}, {}, false, false};
    std::vector<WallpaperLayout> layouts(change.screens.size(), layout);
    if (layout.value() == ImageLayout::Span) {
        QRect desktop;
        for (const ScreenMetrics& screen : change.screens)
            desktop = desktop.united(screen.placeOnDesktop());
        if (m_services.compose) {
            // The desktop takes one picture: one bitmap for all of it.
            ScreenMetrics whole;
            whole.name = QStringLiteral("desktop");
            whole.screen = desktop.size();
            whole.workArea = QRect(QPoint(0, 0), desktop.size());
            whole.origin = desktop.topLeft();
            change.screens = {whole};
            change.wholeDesktop = true;
            layouts.resize(1);
        }
        for (std::size_t i = 0; i < layouts.size(); ++i) {
            layouts[i].desktop = desktop;
            layouts[i].place = change.screens[i].placeOnDesktop();
        }
    }
    bool converted = false;
    {
        std::lock_guard gate(m_gateMutex);
        throwIfCancelled();
        converted = ensureWallpaperFolder() && m_services.convert;
    }
    // This run's private bitmaps go on every way out, a stop included; those put in place are
    // gone by then.
    struct Cleanup {
        const std::vector<ScreenChange::Part>& parts;
        ~Cleanup() {
            for (const ScreenChange::Part& part : parts)
                removeFile(part.staging);
        }
    } cleanup{change.parts};
    for (std::size_t i = 0; converted && i < layouts.size(); ++i) {
        change.parts.push_back({stagingPath(QStringLiteral("-%1").arg(i + 1)), bitmapName});
        converted = convert(source, change.parts.back().staging, layouts[i], change.screens[i]);
    }
    if (converted) {
        change.pictures = {picture};
        change.pictures.front().file = source;
        converted = showChange(change, advance);
    }
    // A picture that was not shown uses up its turn all the same.
    if (!converted)
        modify(advance);
    return converted;
}

void WorkerRun::finishChange() {
    const ScreenChange change = std::move(*m_change);
    m_change.reset();
    showChange(change, [](SlideShowState::Data&) {});
    tip(QString::fromLatin1(AppTexts::kTipPrefix) + change.names.join(QStringLiteral(", ")));
}

bool WorkerRun::showChange(const ScreenChange& change, const Advance& advance) {
    const QString composed = stagingPath(QStringLiteral("-all"));
    // This run's private bitmaps go on every way out; those put in place are gone by then.
    struct Cleanup {
        const ScreenChange& change;
        const QString& composed;
        ~Cleanup() {
            for (const ScreenChange::Part& part : change.parts)
                removeFile(part.staging);
            removeFile(composed);
        }
    } cleanup{change, composed};

    // Screens left without a picture (the source had no more, or too many failed) show the
    // pictures taken, again from the first.
    std::vector<ScreenBitmap> staged;
    for (std::size_t i = 0; i < change.screens.size() && !change.parts.empty(); ++i)
        staged.push_back({change.screens[i], change.parts[i % change.parts.size()].staging});
    const std::int32_t layout = change.layout.layout;
    const bool composedOk = change.wholeDesktop || (!staged.empty() && m_services.compose &&
                                                    m_services.compose(staged, layout, composed));

    std::lock_guard gate(m_gateMutex);
    throwIfCancelled();
    if (ensureWallpaperFolder())
        emptyWallpaperFolder();
    // Every picture failed: the folder is emptied and the wallpaper stays, as for one screen.
    if (staged.empty())
        return false;
    const auto putInPlace = [this](const QString& from, const QString& name) {
        const QString to = bitmapPath(name);
        std::error_code error;
        fs::rename(fsPath(from), fsPath(to), error);
        if (error)
            qCWarning(lcWorker).noquote()
                << QStringLiteral("Cannot put the wallpaper bitmap %1 in place: %2")
                       .arg(to, reason(error));
        return to;
    };
    QString spanned;
    if (m_services.compose) {
        const QString& whole = change.wholeDesktop ? change.parts.front().staging : composed;
        if (composedOk && m_services.applySpanned) {
            spanned = putInPlace(whole, change.parts.front().bitmapName);
            m_services.applySpanned(spanned);
        }
    } else {
        QStringList names;
        std::vector<QString> placed;
        for (const ScreenChange::Part& part : change.parts) {
            names.append(unusedName(part.bitmapName, names));
            placed.push_back(putInPlace(part.staging, names.back()));
        }
        for (std::size_t i = 0; i < staged.size(); ++i)
            staged[i].bitmap = placed[i % placed.size()];
        if (m_services.applyEach)
            m_services.applyEach(staged, layout);
    }
    noteShown(screenPictures(change, staged, spanned), advance);
    return true;
}

std::vector<ShownPicture> WorkerRun::screenPictures(const ScreenChange& change,
                                                    const std::vector<ScreenBitmap>& staged,
                                                    const QString& spanned) const {
    std::vector<QString> files;
    for (std::size_t i = 0; i < change.pictures.size(); ++i)
        files.push_back(change.pictures[i].kind == PictureKind::UrlList
                            ? ShownAgain::keepDownload(change.pictures[i].file, i)
                            : change.pictures[i].file);
    std::vector<ShownPicture> pictures;
    for (std::size_t i = 0; i < staged.size(); ++i) {
        const std::size_t part = i % change.pictures.size();
        ShownPicture picture = change.pictures[part];
        picture.file = files[part];
        picture.screen = staged[i].screen.name;
        picture.screenBitmap = staged[i].bitmap;
        picture.bitmap = spanned.isEmpty() ? staged[i].bitmap : spanned;
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

QString WorkerRun::download(const QString& remoteName) {
    if (!m_services.downloadFtpFile)
        return {};
    std::lock_guard serial(m_shared->downloadMutex);
    m_downloading.store(true);
    struct Reset {
        std::atomic<bool>& flag;
        ~Reset() { flag.store(false); }
    } reset{m_downloading};
    // Either the stopping thread sees the flag and aborts, or this test sees its stop.
    checkStop();
    QString local = m_services.downloadFtpFile(remoteName);
    if (stopRequested()) {
        if (m_services.closeFtpSession)
            m_services.closeFtpSession();
        throw Stopped{};
    }
    return local;
}
