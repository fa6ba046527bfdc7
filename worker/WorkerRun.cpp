#include "worker/WorkerRun.h"

#include "worker/TipChannel.h"

#include <QFile>
#include <filesystem>
#include <system_error>

namespace {

// However often something asks a fruitless source to try again, it tries at most this often.
constexpr std::chrono::seconds kRetrySpacing{1};

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

WorkerRun::WorkerRun(SlideShowState& state, TipChannel& tips, ChangeServices services,
                     QString wallpaperDir, std::shared_ptr<Shared> shared)
    : m_state(state), m_tips(tips), m_services(std::move(services)),
      m_wallpaperDir(std::move(wallpaperDir)), m_shared(std::move(shared)) {}

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
    {
        std::unique_lock lock(m_signalMutex);
        m_signal.wait(lock, [this] { return m_changeRequested || m_stopRequested; });
        m_changeRequested = false;
    }
    checkStop();
}

void WorkerRun::beginAttempt() {
    m_attemptStart = std::chrono::steady_clock::now();
    m_shared->sourceCalls.fetch_add(1);
}

void WorkerRun::waitAfterNothingShown() {
    // The attempt's own changes (a wrapped position) are not a reason to try again.
    checkStop();
    const std::uint64_t revision = m_state.revision();
    {
        std::unique_lock lock(m_signalMutex);
        m_signal.wait(lock, [&] {
            return m_stopRequested || m_changeRequested || m_state.revision() != revision;
        });
        m_signal.wait_until(lock, m_attemptStart + kRetrySpacing,
                            [this] { return m_stopRequested; });
        // Requests made meanwhile are answered by the one retry that follows.
        m_changeRequested = false;
    }
    checkStop();
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

void WorkerRun::emptyWallpaperFolder() const {
    std::error_code error;
    for (std::filesystem::directory_iterator it(fsPath(m_wallpaperDir), error), end;
         !error && it != end; it.increment(error)) {
        std::error_code ignored;
        // Folders (and links to folders) stay; failures to delete are ignored.
        if (!it->is_directory(ignored))
            std::filesystem::remove(it->path(), ignored);
    }
}

bool WorkerRun::makeChange(const QString& source, const QString& bitmapName,
                           const std::function<void(SlideShowState::Data&)>& advance) {
    QString bitmap = m_wallpaperDir;
    if (!bitmap.endsWith(QLatin1Char('/')))
        bitmap += QLatin1Char('/');
    bitmap += bitmapName;

    const std::int32_t layout =
        read([](const SlideShowState::Data& d) { return d.settings.Layout; });
    emptyWallpaperFolder();
    const bool converted = m_services.convert && m_services.convert(source, bitmap, layout);
    if (converted && m_services.apply) {
        std::lock_guard gate(m_gateMutex);
        throwIfCancelled();
        m_services.apply(bitmap, layout);
    }
    modify(advance);
    return converted;
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
