// tessaron-screens-bench: what a change for two 1920x1080 screens costs beside one conversion,
// measured side by side in one run.
//   tessaron-screens-bench [FOLDER] [--rounds N]
// Makes two natural-looking 6000x4000 JPEGs in FOLDER (default build/bench-pictures) unless
// they are there, then times in alternating rounds: one conversion of the first picture for a
// 1920x1080 screen (fitted), and the change for two screens side by side (each picture
// converted for its screen, then both put together into one bitmap, as for a desktop that
// takes one picture for all screens). Prints the medians of processor and wall time and their
// ratios; exit status 1 when the two screens cost more than 2.2 times the processor time of one
// conversion.

// First: glib uses `signals` as a name, which Qt headers define as a keyword.
#include <vips/vips8>

#include "platform/linux/LinuxConverterProcess.h"
#include "wallpaper/PictureConverter.h"
#include "wallpaper/ScreenComposer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr std::int32_t kFitOnDesktop = 2;
constexpr double kLimit = 2.2;

// Smooth colour fields with fine texture, as in photos, so that the JPEG decodes like one.
bool makePicture(const QString& path, int seed) {
    using vips::VImage;
    try {
        std::vector<VImage> bands;
        for (int band = 0; band < 3; ++band) {
            const VImage coarse = VImage::perlin(
                6000, 4000, VImage::option()->set("cell_size", 700)->set("seed", seed + band));
            const VImage fine = VImage::perlin(
                6000, 4000, VImage::option()->set("cell_size", 6)->set("seed", seed + band + 10));
            bands.push_back((coarse * 200 + fine * 50 + 20).cast(VIPS_FORMAT_UCHAR));
        }
        VImage::bandjoin(bands).jpegsave(QFile::encodeName(path).constData(),
                                         VImage::option()->set("Q", 90));
        return true;
    } catch (const vips::VError& error) {
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(path), error.what());
        return false;
    }
}

struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;
};

// The processor time of this process and of the converter programs it has waited for (the
// conversions run there): unlike wall time it does not count other programs on a busy machine.
double cpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& time : {usage.ru_utime, usage.ru_stime})
            total += static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    }
    return total;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QString folder = QStringLiteral("build/bench-pictures");
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--rounds") && i + 1 < argc)
            rounds = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else
            folder = argument;
    }
    if (VIPS_INIT(argv[0]) != 0)
        return 2;
    QDir().mkpath(folder);
    const QString first = folder + QStringLiteral("/screens-1-6000x4000.jpg");
    const QString second = folder + QStringLiteral("/screens-2-6000x4000.jpg");
    for (const auto& [path, seed] : {std::pair{first, 1}, std::pair{second, 31}})
        if (!QFile::exists(path) && !makePicture(path, seed))
            return 2;

    LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER));
    PictureConverter converter(process);
    ScreenMetrics left;
    left.screen = QSize(1920, 1080);
    left.workArea = QRect(0, 0, 1920, 1080);
    ScreenMetrics right = left;
    right.origin = QPoint(1920, 0);
    QTemporaryDir work;
    const QString one = work.filePath(QStringLiteral("one.bmp"));
    const QString leftBitmap = work.filePath(QStringLiteral("left.bmp"));
    const QString rightBitmap = work.filePath(QStringLiteral("right.bmp"));
    const QString both = work.filePath(QStringLiteral("both.bmp"));

    const auto oneScreen = [&] {
        return converter.ConvertPicture(first, one, kFitOnDesktop, left);
    };
    const auto twoScreens = [&] {
        return converter.ConvertPicture(first, leftBitmap, kFitOnDesktop, left) &&
               converter.ConvertPicture(second, rightBitmap, kFitOnDesktop, right) &&
               ScreenComposer::compose({{left, leftBitmap}, {right, rightBitmap}}, kFitOnDesktop,
                                       both);
    };
    // The program writes every bitmap under a name that is free (the wallpaper folder is
    // emptied first); replacing a file would also time the file system's flush of it.
    const auto time = [&](const auto& run, Times& times) {
        for (const QString& path : {one, leftBitmap, rightBitmap, both})
            QFile::remove(path);
        const double cpu = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        const bool ok = run();
        times.wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        times.cpu.push_back(cpuSeconds() - cpu);
        return ok;
    };
    // One of each first, unmeasured, so that both start with the files cached.
    if (!oneScreen() || !twoScreens()) {
        std::fprintf(stderr, "a conversion failed\n");
        return 2;
    }
    Times oneTimes, twoTimes;
    for (int round = 0; round < rounds; ++round) {
        const bool ok = round % 2 == 0 ? time(oneScreen, oneTimes) && time(twoScreens, twoTimes)
                                       : time(twoScreens, twoTimes) && time(oneScreen, oneTimes);
        if (!ok)
            return 2;
    }
    const double ratio = median(twoTimes.cpu) / median(oneTimes.cpu);
    std::printf("one screen, one 6000x4000 JPEG: %.3f s processor, %.3f s wall (medians of %d)\n",
                median(oneTimes.cpu), median(oneTimes.wall), rounds);
    std::printf("two 1920x1080 screens, two 6000x4000 JPEGs, put together: %.3f s processor, "
                "%.3f s wall\n",
                median(twoTimes.cpu), median(twoTimes.wall));
    std::printf("ratio of processor time: %.2f (at most %.1f); of wall time: %.2f\n", ratio, kLimit,
                median(twoTimes.wall) / median(oneTimes.wall));
    return ratio <= kLimit ? 0 : 1;
}
