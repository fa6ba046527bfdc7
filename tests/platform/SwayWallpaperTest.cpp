// The sway backend against a real headless sway, every output read back with grim.
#include "platform/linux/SwayWallpaper.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RootWindow.h"
#include "tests/support/SwaySession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 20);
const QColor kBlue(20, 20, 220);
const QColor kBlack(0, 0, 0);
const QColor kNavy(0x10, 0x20, 0x30);

// A bitmap whose left half is `left` and right half `right`.
bool writeHalves(const QString& path, const QColor& left, const QColor& right, int width,
                 int height) {
    QImage image(width, height, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, left);
    painter.fillRect(width / 2, 0, width - width / 2, height, right);
    painter.end();
    return image.save(path, "BMP");
}

WallpaperValues values(const QString& path, bool tiled) {
    return {path, 1, tiled ? QStringLiteral("1") : QStringLiteral("0")};
}

// sway and its own swaybg run as an unprivileged user: the pictures lie where it can read.
class SwayWallpaperTest : public testing::Test {
protected:
    // HEADLESS-1 800x600; HEADLESS-2 640x480 device pixels at 200% beside it.
    explicit SwayWallpaperTest(const QString& config = {})
        : m_sway({{{800, 600}, {0, 0}, 1}, {{640, 480}, {800, 0}, 2}}, config) {
        ensureQtApplication();
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        for (const char* name : {"PATH", "SWAYSOCK", "WAYLAND_DISPLAY"})
            m_saved.emplace_back(name, qgetenv(name));
        qputenv("SWAYSOCK", QFile::encodeName(m_sway.ipcSocket()));
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_sway.waylandSocket()));
    }
    ~SwayWallpaperTest() override {
        for (const auto& [name, value] : m_saved)
            qputenv(name, value);
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QColor at(const QString& output, int x, int y) const {
        const QImage image = m_sway.grab(output);
        return image.valid(x, y) ? image.pixelColor(x, y) : QColor();
    }
    // Waits until each point of the output shows its colour.
    bool shows(const QString& output, const std::vector<std::pair<QPoint, QColor>>& points) {
        QString seen;
        const bool shown = waitUntil([&] {
            const QImage image = m_sway.grab(output);
            seen.clear();
            for (const auto& [point, colour] : points) {
                const QColor pixel = image.valid(point) ? image.pixelColor(point) : QColor();
                seen +=
                    QStringLiteral(" (%1,%2)=%3").arg(point.x()).arg(point.y()).arg(pixel.name());
                if (!nearColour(pixel, colour))
                    return false;
            }
            return true;
        });
        if (!shown)
            ADD_FAILURE() << output.toStdString() << seen.toStdString();
        return shown;
    }

    QTemporaryDir m_dir;
    SwaySession m_sway;
    std::vector<std::pair<const char*, QByteArray>> m_saved;
};

TEST_F(SwayWallpaperTest, EveryLayoutOnEveryOutputThenEachOutputItsOwnKeptAfterTheEnd) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    // 160x60: red on the left, green on the right.
    ASSERT_TRUE(writeHalves(path("WIDE.BMP"), kRed, kGreen, 160, 60));
    auto backend = std::make_unique<SwayWallpaper>(m_dir.path());
    ASSERT_TRUE(backend->probe());

    ASSERT_TRUE(backend->show(values(path("WIDE.BMP"), true)));
    EXPECT_TRUE(shows("HEADLESS-1", {{{0, 0}, kRed}, {{100, 0}, kGreen}, {{170, 200}, kRed}}));
    EXPECT_TRUE(shows("HEADLESS-2", {{{0, 0}, kRed}, {{100, 0}, kGreen}, {{170, 200}, kRed}}));

    // Centred at its own size in device pixels, black around it.
    ASSERT_TRUE(backend->show(values(path("WIDE.BMP"), false)));
    EXPECT_TRUE(
        shows("HEADLESS-1", {{{390, 300}, kRed}, {{410, 300}, kGreen}, {{10, 10}, kBlack}}));
    EXPECT_TRUE(shows("HEADLESS-2", {{{310, 240}, kRed}, {{330, 240}, kGreen}, {{5, 5}, kBlack}}));

    // Each output its own; a name sway would run as a command reaches it as a safe link.
    const QString unsafe = path("b $(touch pwned); x.bmp");
    ASSERT_TRUE(writeHalves(path("A.BMP"), kBlue, kBlue, 64, 48));
    ASSERT_TRUE(writeHalves(unsafe, kRed, kRed, 64, 48));
    ScreenMetrics left, right;
    left.name = QStringLiteral("HEADLESS-1");
    right.name = QStringLiteral("HEADLESS-2");
    ASSERT_TRUE(
        backend->showEach({{left, values(path("A.BMP"), false)}, {right, values(unsafe, false)}}));
    EXPECT_TRUE(shows("HEADLESS-1", {{{400, 300}, kBlue}}));
    EXPECT_TRUE(shows("HEADLESS-2", {{{320, 240}, kRed}}));
    EXPECT_FALSE(QFile::exists(m_sway.home() + "/pwned"));
    EXPECT_EQ(SwaySession::swaybgsOf(::getpid()).size(), 1u);

    // sway's own swaybg keeps the pictures once the program's has gone.
    backend.reset();
    EXPECT_TRUE(SwaySession::swaybgsOf(::getpid()).empty());
    EXPECT_TRUE(shows("HEADLESS-1", {{{400, 300}, kBlue}}));
    EXPECT_TRUE(shows("HEADLESS-2", {{{320, 240}, kRed}}));
}

TEST_F(SwayWallpaperTest, TheNewPictureIsUpBeforeSwayRestartsItsBackground) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    // A swaymsg that reads HEADLESS-1's centre right after sway has ended its swaybg: the bare
    // grey background shows there unless another picture covers it.
    const QString bin = path("bin");
    QDir().mkpath(bin);
    QFile script(bin + "/swaymsg");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    const int centre = 15 + (300 * 800 + 400) * 3; // after "P6\n800 600\n255\n"
    script.write(QStringLiteral("#!/bin/sh\n/usr/bin/swaymsg \"$@\"; status=$?\n"
                                "grim -o HEADLESS-1 -t ppm - | tail -c +%1 | head -c 3 | "
                                "od -An -tu1 >> '%2'\nexit $status\n")
                     .arg(centre + 1)
                     .arg(path("seen"))
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(bin) + ":/usr/bin:/bin");

    const std::vector<QColor> colours{kRed, kGreen, kBlue};
    SwayWallpaper backend(m_dir.path());
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const QString bitmap = path(QStringLiteral("P%1.BMP").arg(i));
        ASSERT_TRUE(writeHalves(bitmap, colours[i], colours[i], 64, 48));
        ASSERT_TRUE(backend.show(values(bitmap, false)));
    }
    QFile seen(path("seen"));
    ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = seen.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const QList<QByteArray> rgb = lines[i].simplified().split(' ');
        ASSERT_EQ(rgb.size(), 3) << lines[i].constData();
        const QColor pixel(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt());
        // The picture before or the new one, never the bare background.
        EXPECT_TRUE(nearColour(pixel, colours[i]) || (i > 0 && nearColour(pixel, colours[i - 1])))
            << "change " << i << ": " << pixel.name().toStdString();
    }
}

// A user's configuration: a variable, quotes, a block, every output and one of its own.
class SwayUserBackgroundTest : public SwayWallpaperTest {
protected:
    SwayUserBackgroundTest() : SwayWallpaperTest(userConfig()) {}
    // Named before the session starts, and by this process alone.
    static QString pictures() {
        return QDir::tempPath() +
               QStringLiteral("/tessaron-sway-user-%1").arg(QCoreApplication::applicationPid());
    }
    static QString userConfig() {
        QDir(pictures()).removeRecursively();
        QDir().mkpath(pictures());
        ::chmod(QFile::encodeName(pictures()).constData(), 0755);
        writeHalves(pictures() + "/navy.bmp", kBlue, kGreen, 40, 30);
        writeHalves(pictures() + "/my red.bmp", kRed, kRed, 40, 30);
        return QStringLiteral("set $pics %1\n"
                              "output * {\n    bg $pics/navy.bmp center #102030\n}\n"
                              "output HEADLESS-1 bg \"$pics/my red.bmp\" fill\n")
            .arg(pictures());
    }
    ~SwayUserBackgroundTest() override { QDir(pictures()).removeRecursively(); }
};

TEST_F(SwayUserBackgroundTest, EachOutputsConfiguredBackgroundIsRecordedAndPutBack) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    const std::vector<std::pair<QPoint, QColor>> own1{{{100, 100}, kRed}, {{400, 300}, kRed}};
    const std::vector<std::pair<QPoint, QColor>> own2{
        {{5, 5}, kNavy}, {{310, 240}, kBlue}, {{330, 240}, kGreen}};
    ASSERT_TRUE(shows("HEADLESS-1", own1));
    ASSERT_TRUE(shows("HEADLESS-2", own2));

    SwayWallpaper backend(m_dir.path());
    const std::optional<WallpaperSnapshot> snapshot = backend.read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values.wallpaper, pictures() + "/navy.bmp");
    ASSERT_TRUE(writeHalves(path("A.BMP"), kGreen, kGreen, 64, 48));
    ASSERT_TRUE(backend.show(values(path("A.BMP"), true)));
    ASSERT_TRUE(shows("HEADLESS-1", {{{5, 5}, kGreen}}));

    ASSERT_TRUE(backend.restore(*snapshot));
    EXPECT_TRUE(SwaySession::swaybgsOf(::getpid()).empty());
    EXPECT_TRUE(shows("HEADLESS-1", own1));
    EXPECT_TRUE(shows("HEADLESS-2", own2));
}

// Faults the real sway cannot show, with a swaymsg of the test's own.
class SwayCommandFaultTest : public testing::Test {
protected:
    void SetUp() override {
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()));
    }
    void TearDown() override { qputenv("PATH", m_savedPath); }

    void fake(const QByteArray& body) {
        QFile script(m_dir.filePath(QStringLiteral("swaymsg")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
};

TEST_F(SwayCommandFaultTest, AFailingOrHangingSwaymsgOrNoneAtAllIsAFailure) {
    SwayWallpaper backend(m_dir.path(), 300);
    EXPECT_FALSE(backend.probe());
    EXPECT_FALSE(backend.show(values(QStringLiteral("/w/A.BMP"), true)));
    fake("exit 3");
    EXPECT_TRUE(backend.probe());
    EXPECT_FALSE(backend.show(values(QStringLiteral("/w/A.BMP"), true)));
    fake("exec /bin/sleep 60");
    EXPECT_FALSE(backend.show(values(QStringLiteral("/w/A.BMP"), true)));
    EXPECT_FALSE(backend.read());
}

} // namespace
