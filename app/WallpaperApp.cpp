#include "app/WallpaperApp.h"

#include "app/CommandLine.h"
#include "app/ControlClient.h"
#include "app/ProgramRun.h"
#include "platform/ControlChannel.h"
#include "platform/ControlConnection.h"
#include "platform/DisplayProbe.h"
#include "platform/PlatformServices.h"
#include "platform/PrintableText.h"
#include "platform/ShutdownSignals.h"
#include "platform/SingleInstanceLock.h"
#include "platform/ToolkitStartGuard.h"
#include "resources/AppTexts.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

// Resources compiled into a static library are registered by hand (at global scope, where
// the macro declares its initialiser).
static void initResources() {
    Q_INIT_RESOURCE(tessaron);
}

namespace {

int usageError(const CommandLine& commandLine) {
    std::fprintf(stderr, "tessaron: %s\n\n%s", qPrintable(commandLine.errorText()),
                 qPrintable(commandLine.helpText()));
    return 2;
}

// Ends a request to the running copy once its output is out. The static objects are not taken
// down: the channel's own thread (Qt's bus thread, with D-Bus) may still be reading a message
// then (the bus's farewell to this connection), and would print warnings about types already
// gone.
[[noreturn]] void leave(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

// Everything but Run: help and version, or a request to the running copy.
int answer(const CommandLine& commandLine) {
    switch (commandLine.request()) {
    case CommandLine::Request::Help:
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case CommandLine::Request::Version:
        // "program version", which is what help2man and packaging tools read.
        std::printf("tessaron %.3f\n", static_cast<double>(AppTexts::kVersionNumber));
        return 0;
    case CommandLine::Request::Status:
        leave(ControlClient(ControlChannel::connection()).printStatus());
    case CommandLine::Request::Call:
        leave(ControlClient(ControlChannel::connection()).call(commandLine.method()));
    case CommandLine::Request::Run:
        break;
    }
    return 0;
}

// The program proper, once the toolkit runs: one copy per session, then the tray window until
// the application quits.
int run(QApplication& application) {
    // First of all: a termination request that comes during the start is answered once the
    // window exists, with the same orderly save as any other.
    ShutdownSignals shutdownSignals;
    initResources();
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QString::fromLatin1(AppTexts::kAppName));

    // Before any setting, list file or wallpaper is touched, and before the desktop backends
    // are probed and the choice logged: a second copy leaves silently.
    const AppPaths paths = AppPaths::detect(QCoreApplication::applicationFilePath());
    SingleInstanceLock lock(paths.runtimeDir, paths.appName);
    switch (lock.tryLock()) {
    case SingleInstanceLock::Result::Acquired:
        break;
    case SingleInstanceLock::Result::HeldElsewhere:
        return 0;
    case SingleInstanceLock::Result::Unavailable:
        std::fprintf(stderr, "%s\n", AppTexts::kNoLock);
        return 2;
    }

    ProgramRun program(PlatformServices::create(QCoreApplication::applicationFilePath()));
    program.start(application, shutdownSignals);
    return QApplication::exec();
}

} // namespace

int WallpaperApp::main(int argc, char** argv) {
    // The log quotes names of pictures and folders, which may hold line breaks and escapes.
    PrintableText::escapeLogMessages();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine commandLine;
    const bool understood = commandLine.parse(arguments);
    // Help, the version and requests to the running copy need no display.
    if (understood && commandLine.request() != CommandLine::Request::Run) {
        QCoreApplication application(argc, argv);
        return answer(commandLine);
    }

    DisplayProbe display;
    QString reason;
    if (!display.canOpenDisplay(&reason)) {
        if (!understood) {
            QCoreApplication application(argc, argv);
            return usageError(commandLine);
        }
        std::fprintf(stderr, "%s (%s)\n", AppTexts::kNoDisplay, qPrintable(reason));
        return 1;
    }

    // The toolkit starts on the display the probe found: Wayland first on a Wayland session.
    if (!display.toolkitPlatform().isEmpty())
        qputenv("QT_QPA_PLATFORM", display.toolkitPlatform());
    // A display that goes away between the probe and here ends the same way as no display.
    ToolkitStartGuard guard(AppTexts::kNoDisplay);
    QApplication application(argc, argv);
    guard.finish();
    display.release();
    if (!understood) {
        // The toolkit has taken its own options (-platform, -style...) out of the arguments;
        // what is left must be ours.
        if (!commandLine.parse(QCoreApplication::arguments()))
            return usageError(commandLine);
        if (commandLine.request() != CommandLine::Request::Run)
            return answer(commandLine);
    }
    return run(application);
}
