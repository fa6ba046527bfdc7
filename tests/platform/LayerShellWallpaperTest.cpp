// The swaybg route of any layer-shell compositor, chosen by the environment and run on a real
// headless sway that has no background of its own; every output read back with grim.
#include "platform/linux/DesktopWallpaperChooser.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RootWindow.h"
#include "tests/support/SwaySession.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <unistd.h>

namespace {

const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 20);
const QColor kBlue(20, 20, 220);
const QColor kBlack(0, 0, 0);
const QColor kNavy(0x10, 0x20, 0x30);

bool writeSolid(const QString& path, const QColor& colour, int width = 64, int height = 48) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image.save(path, "BMP");
}

class LayerShellWallpaperTest : public testing::Test {
protected:
    // HEADLESS-1 800x600; HEADLESS-2 640x480 device pixels at 200% beside it.
    LayerShellWallpaperTest() : m_sway({{{800, 600}, {0, 0}, 1}, {{640, 480}, {800, 0}, 2}}) {
        ensureQtApplication();
        m_saved = qgetenv("WAYLAND_DISPLAY");
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_sway.waylandSocket()));
    }
    ~LayerShellWallpaperTest() override { qputenv("WAYLAND_DISPLAY", m_saved); }

    // What a session of a compositor the program does not know gives it.
    std::unique_ptr<DesktopWallpaper> chosen() const {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("river"));
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_sway.waylandSocket());
        return DesktopWallpaperChooser(environment, m_dir.path(),
                                       QDBusConnection(QStringLiteral("none")))
            .choose();
    }
    QColor centre(const QString& output) const {
        const QImage image = m_sway.grab(output);
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    }
    bool shows(const QString& output, const QPoint& point, const QColor& colour) const {
        return waitUntil([&] {
            const QImage image = m_sway.grab(output);
            return image.valid(point) && nearColour(image.pixelColor(point), colour);
        });
    }

    QTemporaryDir m_dir;
    SwaySession m_sway;
    QByteArray m_saved;
};

TEST_F(LayerShellWallpaperTest, EachChangeReplacesTheProgramsSwaybgOnlyOnceTheNewOneHasDrawn) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    std::unique_ptr<DesktopWallpaper> backend = chosen();
    ASSERT_EQ(backend->name(), QStringLiteral("layer-shell"));
    ASSERT_TRUE(backend->takesEachScreen());
    const QColor bare = centre("HEADLESS-1");

    // Centred at its size in device pixels, and tiled, on every output.
    ASSERT_TRUE(writeSolid(m_dir.filePath("WIDE.BMP"), kRed, 160, 60));
    WallpaperValues values{m_dir.filePath("WIDE.BMP"), 1, QStringLiteral("0")};
    ASSERT_TRUE(backend->show(values));
    EXPECT_TRUE(shows("HEADLESS-1", {400, 300}, kRed));
    EXPECT_TRUE(shows("HEADLESS-1", {400, 50}, kBlack));
    EXPECT_TRUE(shows("HEADLESS-2", {320, 240}, kRed));
    EXPECT_TRUE(shows("HEADLESS-2", {320, 40}, kBlack));
    values = {m_dir.filePath("WIDE.BMP"), 1, QStringLiteral("1")};
    ASSERT_TRUE(backend->show(values));
    EXPECT_TRUE(shows("HEADLESS-1", {400, 50}, kRed));

    // While the pictures change, every output shows the old picture or the new one, never
    // the bare background; one swaybg of the program's own runs after each change.
    ScreenMetrics left, right;
    left.name = QStringLiteral("HEADLESS-1");
    right.name = QStringLiteral("HEADLESS-2");
    const std::vector<QColor> colours{kGreen, kBlue, kGreen};
    std::atomic<bool> done = false;
    std::atomic<int> changed = 0;
    bool ok = true;
    std::thread changes([&] {
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const QString bitmap = m_dir.filePath(QStringLiteral("P%1.BMP").arg(i));
            writeSolid(bitmap, colours[i]);
            ok = backend->showEach({{left, {bitmap, 1, QStringLiteral("0")}},
                                    {right, {bitmap, 1, QStringLiteral("0")}}}) &&
                 ok;
            ok = SwaySession::swaybgsOf(::getpid()).size() == 1 && ok;
            ++changed;
        }
        done = true;
    });
    QStringList seen;
    while (!done) {
        const QColor pixel = centre("HEADLESS-2");
        if (!nearColour(pixel, kRed) && !nearColour(pixel, kGreen) && !nearColour(pixel, kBlue))
            seen << pixel.name();
    }
    changes.join();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(seen.isEmpty()) << seen.join(u' ').toStdString();
    EXPECT_TRUE(shows("HEADLESS-1", {400, 300}, kGreen));

    // At the end (as at restore) the program's swaybg goes, and the bare background is back.
    backend.reset();
    EXPECT_TRUE(SwaySession::swaybgsOf(::getpid()).empty());
    EXPECT_TRUE(shows("HEADLESS-1", {400, 300}, bare));
}

TEST_F(LayerShellWallpaperTest, ASwaybgTheProgramDidNotStartIsLeftAlone) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    // The user's own background on HEADLESS-2, started before the program's.
    QProcess own;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    own.setProcessEnvironment(environment);
    own.start(QStringLiteral("swaybg"), {"-o", "HEADLESS-2", "-c", "#102030", "-m", "solid_color"});
    ASSERT_TRUE(own.waitForStarted());
    ASSERT_TRUE(shows("HEADLESS-2", {5, 5}, kNavy));

    std::unique_ptr<DesktopWallpaper> backend = chosen();
    ASSERT_TRUE(writeSolid(m_dir.filePath("A.BMP"), kRed));
    ASSERT_TRUE(backend->show({m_dir.filePath("A.BMP"), 1, QStringLiteral("0")}));
    EXPECT_TRUE(shows("HEADLESS-1", {400, 300}, kRed));
    EXPECT_FALSE(backend->read());
    ASSERT_TRUE(backend->restore({}));
    EXPECT_TRUE(SwaySession::swaybgsOf(::getpid()).size() == 1); // the user's own
    backend.reset();
    EXPECT_EQ(own.state(), QProcess::Running);
    EXPECT_TRUE(shows("HEADLESS-2", {5, 5}, kNavy));
    own.terminate();
    own.waitForFinished();
}

} // namespace
