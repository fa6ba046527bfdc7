// What a shuffled change costs in the folder walk beside a change in order: a tree of 100,000
// picture files (100 folders of 1,000), 200 changes in order, 200 shuffled changes from the
// start of a round, and the changes at a round's end, where the next round begins. For each,
// the worker's processor time per change (between one application and the next) and the rise
// of the process's peak resident memory over the run. The conversion and the desktop are
// stand-ins that only record the call, so the figures are the choosing alone. Fails when a
// shuffled change costs more than 0.5 s of processor time or 20 MB of memory beyond a change in
// order. Usage: tessaron-shuffle-bench [files] [changes]
#include "worker/ShuffleOrder.h"
#include "worker/SlideShowState.h"
#include "worker/SlideShowWorker.h"
#include "worker/TipChannel.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int kPerFolder = 1000;
constexpr double kCpuLimitSeconds = 0.5;
constexpr double kMemoryLimitMb = 20;

double threadCpuSeconds() {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
double statusMb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atof(line.c_str() + field.size() + 1) / 1024.0;
    return 0;
}

// Lets the peak resident memory start again from the present (Linux 4.0 and later).
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Run {
    std::vector<double> cpu; // seconds per change
    double memoryMb = 0;     // rise of the peak resident memory over the run
};

Run runChanges(const WallpaperSettings& settings, int changes, const QString& dataDir) {
    std::mutex mutex;
    std::condition_variable appliedCondition;
    std::vector<double> atApply;
    ChangeServices services;
    services.convert = [](const QString&, const QString& bitmap, const WallpaperLayout&,
                          const ScreenMetrics&) {
        QFile file(bitmap);
        return file.open(QIODevice::WriteOnly);
    };
    services.apply = [&](const QString&, std::int32_t) {
        // Called on the worker thread: its processor time so far.
        const double cpu = threadCpuSeconds();
        std::lock_guard lock(mutex);
        atApply.push_back(cpu);
        appliedCondition.notify_all();
    };

    SlideShowState state(settings);
    state.setLists({}, {});
    TipChannel tips;
    SlideShowWorker worker(state, tips, services, dataDir + QStringLiteral("/Wallpaper"), dataDir);
    resetPeak();
    const double residentBefore = statusMb("VmRSS");
    worker.start();
    for (int i = 1; i <= changes; ++i) {
        if (i > 1)
            worker.requestChange();
        std::unique_lock lock(mutex);
        appliedCondition.wait(lock, [&] { return atApply.size() >= static_cast<std::size_t>(i); });
    }
    worker.stop(std::chrono::seconds(30));

    Run run;
    run.memoryMb = statusMb("VmHWM") - residentBefore;
    for (std::size_t i = 0; i < atApply.size(); ++i)
        run.cpu.push_back(atApply[i] - (i == 0 ? 0.0 : atApply[i - 1]));
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void print(const char* what, const Run& run) {
    std::printf("%-34s %5zu changes  CPU per change: median %.4f s, max %.4f s  "
                "peak memory +%.1f MB\n",
                what, run.cpu.size(), median(run.cpu), maximum(run.cpu), run.memoryMb);
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int changes = argc > 2 ? std::atoi(argv[2]) : 200;

    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/f%2").arg(tree).arg(i / kPerFolder, 4, 10, QLatin1Char('0'));
        if (i % kPerFolder == 0)
            QDir().mkpath(folder);
        paths << QStringLiteral("%1/p%2.jpg").arg(folder).arg(i, 6, 10, QLatin1Char('0'));
        QFile(paths.back()).open(QIODevice::WriteOnly);
    }
    const QString dataDir = dir.filePath(QStringLiteral("data"));

    WallpaperSettings ordered = WallpaperSettings::defaults(tree);
    ordered.StartPath = tree;
    const Run inOrder = runChanges(ordered, changes, dataDir);

    WallpaperSettings shuffled = ordered;
    shuffled.Shuffle = 1;
    shuffled.ShuffleScanSeed = 4242;
    const Run fromStart = runChanges(shuffled, changes, dataDir);

    // Two pictures left in the round: the third change finds none and begins the next round.
    const ShuffleOrder order(4242);
    std::vector<ShuffleOrder::Place> places;
    for (const QString& path : paths)
        places.push_back(order.place(path));
    std::sort(places.begin(), places.end());
    shuffled.ShuffleScanLast = places[places.size() - 3].name;
    const Run roundEnd = runChanges(shuffled, 4, dataDir);

    std::printf("%d pictures in %d folders\n", files, (files + kPerFolder - 1) / kPerFolder);
    print("in order", inOrder);
    print("shuffled, from a round's start", fromStart);
    print("shuffled, at a round's end", roundEnd);

    const double cpuBeyond =
        std::max(maximum(fromStart.cpu), maximum(roundEnd.cpu)) - median(inOrder.cpu);
    const double memoryBeyond = std::max(fromStart.memoryMb, roundEnd.memoryMb) - inOrder.memoryMb;
    std::printf("a shuffled change beyond one in order: at most %.3f s CPU, %.1f MB memory\n",
                cpuBeyond, memoryBeyond);
    if (cpuBeyond > kCpuLimitSeconds || memoryBeyond > kMemoryLimitMb) {
        std::printf("FAIL: over %.1f s or %.0f MB\n", kCpuLimitSeconds, kMemoryLimitMb);
        return 1;
    }
    return 0;
}
