// Times how long the folder scan takes to resume deep into a large tree: a tree of 100,000
// picture files (100 folders of 1,000), resumed at picture 50,000. The conversion and the
// desktop are stand-ins that only record the call, so the figure is the walk and the picture
// tests alone. Usage: tessaron-resume-bench [files] [position]
#include "worker/SlideShowState.h"
#include "worker/SlideShowWorker.h"
#include "worker/TipChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int position = argc > 2 ? std::atoi(argv[2]) : 50000;
    constexpr int kPerFolder = 1000;

    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/f%2").arg(tree).arg(i / kPerFolder, 4, 10, QLatin1Char('0'));
        if (i % kPerFolder == 0)
            QDir().mkpath(folder);
        QFile(QStringLiteral("%1/p%2.jpg").arg(folder).arg(i, 6, 10, QLatin1Char('0')))
            .open(QIODevice::WriteOnly);
    }

    std::mutex mutex;
    std::condition_variable appliedCondition;
    QString applied;
    double workerCpuMs = 0;
    ChangeServices services;
    services.convert = [](const QString&, const QString& bitmap, const WallpaperLayout&,
                          const ScreenMetrics&) {
        QFile file(bitmap);
        return file.open(QIODevice::WriteOnly);
    };
    services.apply = [&](const QString& bitmap, std::int32_t) {
        // The desktop is called on the worker thread: its CPU time so far is the resume's.
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        std::lock_guard lock(mutex);
        workerCpuMs =
            static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6;
        applied = bitmap;
        appliedCondition.notify_all();
    };

    WallpaperSettings settings = WallpaperSettings::defaults(tree);
    settings.StartPath = tree;
    settings.CurScanFolderPos = position;
    SlideShowState state(settings);
    state.setLists({}, {});
    TipChannel tips;
    SlideShowWorker worker(state, tips, services, dir.filePath(QStringLiteral("data/Wallpaper")),
                           dir.filePath(QStringLiteral("data")));

    QElapsedTimer timer;
    timer.start();
    worker.start();
    {
        std::unique_lock lock(mutex);
        appliedCondition.wait(lock, [&] { return !applied.isEmpty(); });
    }
    const qint64 elapsed = timer.elapsed();
    worker.stop(std::chrono::seconds(10));
    // The worker runs at idle priority, so on a busy machine the wall time includes waiting
    // for an idle processor; the CPU time is the work itself.
    std::printf("resume at %d of %d files: first change after %lld ms wall, %.0f ms worker CPU "
                "(%s)\n",
                position, files, static_cast<long long>(elapsed), workerCpuMs,
                qPrintable(QFileInfo(applied).fileName()));
    return 0;
}
