// tessaron-convert-bench: what running the converter program costs a change.
//   tessaron-convert-bench cost PICTURE [RUNS]   converts PICTURE for a 1920x1080 screen
//       (Fit on desktop) RUNS times in this process and RUNS times through the converter
//       program, alternating, and prints the median wall time of each and their difference.
//   tessaron-convert-bench stop PICTURE [RUNS]   starts the conversion through the converter
//       program, aborts it once the program has run for half a second, and prints how long
//       the aborted call took to return (median).
// Everything runs at idle CPU priority, as the slide show's worker does.

#include "converter/ImageConversion.h"
#include "converter/VipsImageLibrary.h"
#include "platform/linux/LinuxConverterProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

ScreenArea fullHd() {
    ScreenArea screen;
    screen.screen = QSize(1920, 1080);
    screen.workArea = QRect(0, 0, 1920, 1080);
    return screen;
}

// The conversion as the program made it before the converter program: libvips initialised
// once in a resident process.
bool convertHere(const std::string& picture, const std::string& bitmap) {
    static VipsImageLibrary library;
    const int in = ::open(picture.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(bitmap.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool written =
        in >= 0 && out >= 0 && !ImageConversion(library).convert(in, out, 2, fullHd());
    ::close(in);
    ::close(out);
    return written;
}

int usage() {
    std::fprintf(stderr, "usage: tessaron-convert-bench cost|stop PICTURE [RUNS]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    const std::string picture = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const sched_param idle{};
    sched_setscheduler(0, SCHED_IDLE, &idle);

    char folder[] = "/tmp/tessaron-convert-bench-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    const std::string bitmap = std::string(folder) + "/OUT.BMP";
    LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER));
    ConversionRequest request;
    request.picture = picture;
    request.bitmap = bitmap;
    request.screen = fullHd();
    int status = 0;

    if (mode == "cost") {
        convertHere(picture, bitmap); // libvips starts once, as in a resident program
        std::vector<double> here, helper;
        for (int i = 0; i < runs; ++i) {
            auto start = Clock::now();
            if (!convertHere(picture, bitmap))
                status = 1;
            here.push_back(milliseconds(Clock::now() - start));
            start = Clock::now();
            const auto result = process.convert(request);
            helper.push_back(milliseconds(Clock::now() - start));
            if (result.outcome != ConverterProcess::Result::Outcome::Converted) {
                std::fprintf(stderr, "converter program: %s\n", qPrintable(result.reason));
                status = 1;
            }
        }
        std::printf("in this process:       median %8.1f ms\n", median(here));
        std::printf("converter program:     median %8.1f ms\n", median(helper));
        std::printf("difference of medians:        %8.1f ms (%d runs each)\n",
                    median(helper) - median(here), runs);
    } else if (mode == "stop") {
        std::vector<double> returned;
        for (int i = 0; i < runs; ++i) {
            Clock::time_point aborted;
            std::thread aborter([&] {
                while (process.running() == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                aborted = Clock::now();
                process.abort();
            });
            const auto result = process.convert(request);
            const auto end = Clock::now();
            aborter.join();
            if (result.outcome != ConverterProcess::Result::Outcome::Stopped) {
                std::fprintf(stderr, "the conversion ended before it was aborted\n");
                status = 1;
            }
            returned.push_back(milliseconds(end - aborted));
        }
        std::printf("abort to return: median %.1f ms, longest %.1f ms (%d runs)\n",
                    median(returned), *std::max_element(returned.begin(), returned.end()), runs);
    } else {
        return usage();
    }
    ::unlink(bitmap.c_str());
    ::rmdir(folder);
    return status;
}
