#include "worker/SlideShowWorker.h"

#include "worker/SlideShowState.h"
#include "worker/WorkerProc.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {

constexpr std::chrono::milliseconds kDestructorStopBound{5000};

} // namespace

SlideShowWorker::SlideShowWorker(SlideShowState& state, TipChannel& tips, ChangeServices services,
                                 QString wallpaperDir, QString dataDir)
    : m_state(state), m_tips(tips), m_services(std::move(services)),
      m_wallpaperDir(std::move(wallpaperDir)), m_dataDir(std::move(dataDir)),
      m_shared(std::make_shared<WorkerRun::Shared>()),
      m_lastExitCode(std::make_shared<std::atomic<int>>(-1)) {
    // A worker with nothing to show waits for the settings or lists to change.
    m_state.setChangeListener([this] {
        std::shared_ptr<WorkerRun> run;
        {
            std::lock_guard lock(m_mutex);
            run = m_current.run;
        }
        if (run)
            run->notifyStateChanged();
    });
}

SlideShowWorker::~SlideShowWorker() {
    m_state.setChangeListener({});
    stop(kDestructorStopBound);
}

SlideShowWorker::Thread SlideShowWorker::launch() {
    auto run = std::make_shared<WorkerRun>(m_state, m_tips, m_services, m_wallpaperDir, m_dataDir,
                                           m_shared);
    // The thread keeps its run alive: a worker abandoned at stop() still finds it.
    QThread* thread =
        QThread::create([run, exitCode = m_lastExitCode] { exitCode->store(WorkerProc(*run)); });
    thread->start(QThread::IdlePriority);
    return Thread{std::move(run), thread};
}

void SlideShowWorker::start() {
    std::lock_guard lock(m_mutex);
    if (!m_current.run)
        m_current = launch();
}

void SlideShowWorker::requestChange() {
    std::shared_ptr<WorkerRun> run;
    {
        std::lock_guard lock(m_mutex);
        run = m_current.run;
    }
    if (run)
        run->requestChange();
}

void SlideShowWorker::restart() {
    Thread old;
    {
        std::lock_guard lock(m_mutex);
        old = std::exchange(m_current, Thread{});
    }
    // Outside the lock: a worker in the middle of a state access may need it to finish.
    if (old.run)
        old.run->requestStop();
    std::lock_guard lock(m_mutex);
    reap(std::chrono::milliseconds(0));
    if (old.run)
        m_retired.push_back(std::move(old));
    m_current = launch();
}

void SlideShowWorker::stop(std::chrono::milliseconds bound) {
    std::vector<Thread> threads;
    {
        std::lock_guard lock(m_mutex);
        threads = std::exchange(m_retired, {});
        if (m_current.run)
            threads.push_back(std::exchange(m_current, Thread{}));
    }
    for (Thread& t : threads)
        t.run->requestStop();
    const QDeadlineTimer deadline(bound);
    for (Thread& t : threads) {
        if (t.thread->wait(deadline)) {
            delete t.thread;
            continue;
        }
        // The thread is left to end on its own: its run can no longer reach anything shared,
        // and deleting a running thread object would abort. It stays retired, so a later
        // stop or restart deletes it once it has ended.
        std::lock_guard lock(m_mutex);
        m_retired.push_back(std::move(t));
    }
}

void SlideShowWorker::reap(std::chrono::milliseconds bound) {
    std::erase_if(m_retired, [bound](Thread& t) {
        if (!t.thread->wait(QDeadlineTimer(bound)))
            return false;
        delete t.thread;
        return true;
    });
}

std::uint64_t SlideShowWorker::sourceCalls() const {
    return m_shared->sourceCalls.load();
}

int SlideShowWorker::lastExitCode() const {
    return m_lastExitCode->load();
}
