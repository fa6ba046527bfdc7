#include "worker/WorkerProc.h"

#include "platform/LogCategories.h"
#include "worker/FileListSource.h"
#include "worker/FtpListSource.h"
#include "worker/ScanFolderSource.h"
#include "worker/WallpaperSettings.h"
#include "worker/WorkerRun.h"

#include <QThread>
#include <exception>

namespace {

SourceResult scanPass(WorkerRun& run) {
    const auto [startPath, resumeAt] = run.read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.StartPath, d.settings.CurScanFolderPos);
    });
    std::uint32_t scanCounter = 0;
    const SourceResult result = ScanFolderSource(run, scanCounter).pass(startPath);
    run.modify([](SlideShowState::Data& d) { d.settings.CurScanFolderPos = 0; });
    // A resume position beyond the last picture ends the pass without a change; the next pass
    // shows the first picture at once.
    if (result == SourceResult::NothingToShow && resumeAt > 0)
        return SourceResult::Shown;
    return result;
}

void reportFailure(const char* what) {
    qCWarning(lcWorker,
              "The slide show stopped after an unexpected failure (%s); no wallpaper "
              "changes until it is started again",
              what);
}

} // namespace

int WorkerProc(WorkerRun& run) {
    // A change over several screens cut short by a stop leaves none of its private bitmaps.
    struct Discard {
        WorkerRun& run;
        ~Discard() { run.discardChange(); }
    } discard{run};
    try {
        run.prepareWallpaperFolder();

        for (;;) {
            QThread::currentThread()->setPriority(QThread::IdlePriority);
            // Nothing is read from the lists or positions before they are loaded.
            run.waitForLists();
            const std::int32_t mode =
                run.read([](const SlideShowState::Data& d) { return d.settings.UseFileList; });
            run.beginAttempt();
            SourceResult result = SourceResult::NothingToShow;
            switch (static_cast<SourceMode>(mode)) {
            case SourceMode::ScanFolder:
                result = scanPass(run);
                break;
            case SourceMode::FileList:
                result = FileListSource::run(run);
                break;
            case SourceMode::FtpList:
                result = FtpListSource::run(run);
                break;
            }
            // A source with nothing more to show ends a change over several screens with the
            // pictures it has; that change then waits like any other.
            if (result == SourceResult::NothingToShow && run.changePending())
                run.waitForChange();
            else if (result == SourceResult::NothingToShow)
                run.waitAfterNothingShown();
        }
    } catch (const WorkerRun::Stopped&) {
        return 0;
    } catch (const std::exception& failure) {
        reportFailure(failure.what());
        return 1;
    } catch (...) {
        reportFailure("not a standard exception");
        return 1;
    }
}
