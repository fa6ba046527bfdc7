#pragma once

#include "worker/ChangeServices.h"
#include "worker/SlideShowControl.h"
#include "worker/WorkerRun.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class QThread;
class SlideShowState;
class TipChannel;

// Runs the slide show on a worker thread at idle priority. Each start makes a new run with its
// own change and stop requests; restart stops the running one (it makes no further change and
// writes nothing more into the wallpaper folder, even if it is in the middle of a conversion)
// and starts its replacement at once, which shows a picture at once.
class SlideShowWorker : public SlideShowControl {
public:
    // `dataDir` is the program's own data folder: the folder walk never enters it.
    SlideShowWorker(SlideShowState& state, TipChannel& tips, ChangeServices services,
                    QString wallpaperDir, QString dataDir);
    // Stops the running worker as stop() does, with a bound of a few seconds.
    ~SlideShowWorker() override;

    void start() override;
    void requestChange() override;
    void restart() override;
    // After this returns no worker changes the wallpaper, the tip or the shared state. A
    // conversion or download in progress is ended at once. A worker that still does not end
    // within `bound` is left to finish on its own; it only touches what it owns.
    void stop(std::chrono::milliseconds bound) override;

    // How often a source has been called over every run; for tests and benchmarks.
    std::uint64_t sourceCalls() const;
    // The exit code of the last worker that ended, or -1 while none has.
    int lastExitCode() const;

private:
    struct Thread {
        std::shared_ptr<WorkerRun> run;
        QThread* thread = nullptr;
    };

    Thread launch();
    void reap(std::chrono::milliseconds bound);

    SlideShowState& m_state;
    TipChannel& m_tips;
    const ChangeServices m_services;
    const QString m_wallpaperDir;
    const QString m_dataDir;
    const std::shared_ptr<WorkerRun::Shared> m_shared;
    std::shared_ptr<std::atomic<int>> m_lastExitCode;

    std::mutex m_mutex;
    Thread m_current;
    std::vector<Thread> m_retired;
};
