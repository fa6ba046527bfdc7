// tessaron-convert: runs one picture through the program's own conversion, so that it can be
// timed as a whole process beside other converters (see bench/run).
//   tessaron-convert IN OUT [--layout N] [--screen WxH] [--work-area L,T,R,B] [--repeat N]
// Exit status 0 when a bitmap was written, 1 when the picture gave no result, 2 on bad usage.
// --repeat converts the picture N times in this process and prints the resident memory after
// the first, the second, every 25th and the last conversion, to show that a resident program
// does not grow.

#include "platform/VipsImageLibrary.h"
#include "wallpaper/PictureConverter.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: tessaron-convert IN OUT [--layout N] [--screen WxH] "
                         "[--work-area L,T,R,B] [--repeat N]\n");
    return 2;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QStringList positional;
    int layout = 2;
    int repeat = 1;
    ScreenMetrics screen;
    bool workAreaGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--"))) {
            positional << a;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const QString value = args[++i];
        bool ok = true;
        if (a == QLatin1String("--layout")) {
            layout = value.toInt(&ok);
        } else if (a == QLatin1String("--repeat")) {
            repeat = value.toInt(&ok);
            ok = ok && repeat > 0;
        } else if (a == QLatin1String("--screen")) {
            const auto m = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(value);
            ok = m.hasMatch();
            if (ok)
                screen.screen = QSize(m.captured(1).toInt(), m.captured(2).toInt());
        } else if (a == QLatin1String("--work-area")) {
            const auto m =
                QRegularExpression(QStringLiteral("^(-?\\d+),(-?\\d+),(-?\\d+),(-?\\d+)$"))
                    .match(value);
            ok = m.hasMatch();
            if (ok) {
                const int left = m.captured(1).toInt(), top = m.captured(2).toInt();
                screen.workArea =
                    QRect(left, top, m.captured(3).toInt() - left, m.captured(4).toInt() - top);
                workAreaGiven = true;
            }
        } else {
            ok = false;
        }
        if (!ok)
            return usage();
    }
    if (positional.size() != 2)
        return usage();
    if (!workAreaGiven)
        screen.workArea = QRect(QPoint(0, 0), screen.screen);

    VipsImageLibrary library;
    const PictureConverter converter(library);
    bool written = false;
    for (int i = 0; i < repeat; ++i) {
        QFile::remove(positional[1]);
        written = converter.ConvertPicture(positional[0], positional[1], layout, screen);
        const int done = i + 1;
        if (repeat > 1 && (done == repeat || done == 1 || done == 2 || done % 25 == 0))
            std::fprintf(stderr, "after conversion %d: resident %ld kB\n", done,
                         residentKilobytes());
    }
    return written ? 0 : 1;
}
