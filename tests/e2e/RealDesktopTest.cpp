// The real program on the real desktops, as their users meet it: GNOME Shell, XFCE and Plasma
// each draw what Tessaron told them, and the screen is read back as pixels. The settings-store
// tests (tests/platform) cover the backends' cases faster; these show that each desktop reads
// what the backend writes as the backend means it.
#include "tests/support/RealDesktop.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RootWindow.h"
#include "tests/support/SniWatcher.h"

#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 20);
const QColor kBlue(20, 20, 220);
const QColor kWhite(240, 240, 240);
constexpr int kBoundMs = 60000;

class RealDesktopTest : public testing::Test {
protected:
    // Starts the desktop, or skips the test where it is not installed.
    void startDesktop(RealDesktop::Kind kind, const std::vector<QSize>& screens) {
        ensureQtApplication();
        if (const QString missing = RealDesktop::missingPrograms(kind); !missing.isEmpty())
            GTEST_SKIP() << "this desktop is not installed here (scripts/setup installs it): "
                         << missing.toStdString();
        m_desktop = std::make_unique<RealDesktop>(kind, screens);
        ASSERT_TRUE(m_desktop->isRunning()) << m_desktop->failure().toStdString();
        m_program = std::make_unique<ProgramUnderTest>();
        m_program->runAsUser(m_desktop->uid());
        m_desktop->addClientEnvironment(m_program->environment());
        m_pictures = m_program->dir() + QStringLiteral("/Pictures");
        for (const auto& [name, colour] :
             {std::pair{"a.bmp", kRed}, std::pair{"b.bmp", kGreen}, std::pair{"c.bmp", kBlue}})
            ASSERT_TRUE(writeSolidPicture(m_pictures + u'/' + QString::fromLatin1(name), colour));
        m_shown = m_desktop->grab();
    }
    ~RealDesktopTest() override {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            waitForExit(*m_process);
        }
    }

    // Starts the program with these settings (tiled: a picture of one colour fills each screen)
    // and waits for its icon in the desktop's tray (or ours, where the desktop has none here).
    void start(bool eachScreen) {
        const QString folder = m_desktop->home() + QStringLiteral("/.config/Halvik");
        QDir().mkpath(folder);
        {
            QSettings profile(folder + QStringLiteral("/tessaron.ini"), QSettings::IniFormat);
            profile.setValue(QStringLiteral("Settings/StartPath"), m_pictures);
            profile.setValue(QStringLiteral("Settings/AutoRun"), 0);
            profile.setValue(QStringLiteral("Settings/Layout"), 1);
            profile.setValue(QStringLiteral("Settings/EachScreen"), eachScreen ? 1 : 0);
        }
        for (const QString& path : {m_desktop->home() + QStringLiteral("/.config"), folder,
                                    folder + QStringLiteral("/tessaron.ini")})
            ASSERT_EQ(
                ::chown(QFile::encodeName(path).constData(), m_desktop->uid(), m_desktop->uid()),
                0);
        m_tray = std::make_unique<SniWatcher>(m_desktop->bus());
        m_process = m_program->start();
        QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                               QStringLiteral("/StatusNotifierWatcher"),
                               QStringLiteral("org.kde.StatusNotifierWatcher"), m_desktop->bus());
        ASSERT_TRUE(waitUntil(
            [&] {
                m_icon = watcher.property("RegisteredStatusNotifierItems").toStringList().value(0);
                return !m_icon.isEmpty();
            },
            kBoundMs))
            << m_process->readAllStandardError().constData();
    }

    // Waits until each point shows its colour; says what was shown when it does not.
    bool waitForColours(const std::vector<std::pair<QPoint, QColor>>& points) {
        QStringList seen;
        const bool shown = waitUntil(
            [&] {
                const QImage shot = m_desktop->grab();
                seen.clear();
                bool all = !shot.isNull();
                for (const auto& [point, colour] : points) {
                    const QColor at = shot.valid(point) ? shot.pixelColor(point) : QColor();
                    seen << at.name();
                    all = all && nearColour(at, colour);
                }
                return all;
            },
            kBoundMs);
        if (!shown)
            ADD_FAILURE() << "shown: " << seen.join(u' ').toStdString() << "\n"
                          << (m_process ? m_process->readAllStandardError().constData() : "");
        return shown;
    }
    // Waits until the desktop shows again what it showed before the program, at points spread
    // over `area` (away from panels and icons).
    bool waitForOwnWallpaper(const QRect& area) {
        int differing = 0;
        const bool back = waitUntil(
            [&] {
                const QImage shot = m_desktop->grab();
                differing = 0;
                for (int y = area.top(); y <= area.bottom(); y += area.height() / 8)
                    for (int x = area.left(); x <= area.right(); x += area.width() / 8)
                        differing += shot.isNull() || !nearColour(shot.pixelColor(x, y),
                                                                  m_shown.pixelColor(x, y), 8);
                return differing == 0;
            },
            kBoundMs);
        if (!back)
            ADD_FAILURE() << differing << " of 81 points differ from the desktop's own wallpaper";
        return back;
    }

    void pick(const char* label) {
        ASSERT_TRUE(m_tray->clickMenuItem(m_icon, QString::fromLatin1(label))) << label;
    }
    // Exit through the menu, answering "Restore old wallpaper?" with Yes.
    void exitRestoring() {
        pick("Exit");
        ASSERT_TRUE(
            waitUntil([&] { return m_desktop->hasWindow(QStringLiteral("Question")); }, kBoundMs));
        ASSERT_TRUE(m_desktop->answerQuestion(true))
            << m_process->readAllStandardError().constData();
        ASSERT_TRUE(waitForExit(*m_process, kBoundMs))
            << m_process->readAllStandardError().constData();
        EXPECT_EQ(m_process->exitCode(), 0) << m_process->readAllStandardError().constData();
    }

    std::unique_ptr<RealDesktop> m_desktop;
    std::unique_ptr<ProgramUnderTest> m_program;
    std::unique_ptr<SniWatcher> m_tray;
    std::unique_ptr<QProcess> m_process;
    QString m_pictures;
    QString m_icon;
    QImage m_shown; // the desktop's own wallpaper, before the program ran
};

TEST_F(RealDesktopTest, GnomeShellShowsEachScreensPictureSpannedAndGetsItsOwnBackAtExit) {
    startDesktop(RealDesktop::Kind::Gnome, {{640, 480}, {640, 480}});
    if (IsSkipped() || HasFatalFailure())
        return;
    start(true);
    // Below the top bar; the second virtual monitor lies right of the first.
    const QPoint left(320, 300), right(960, 300);
    EXPECT_TRUE(waitForColours({{left, kRed}, {right, kGreen}}));
    pick("Change now");
    EXPECT_TRUE(waitForColours({{left, kBlue}, {right, kRed}}));
    exitRestoring();
    // The user never set a wallpaper: the shell's default comes back.
    EXPECT_TRUE(waitForOwnWallpaper(QRect(40, 60, 1200, 400)));
}

TEST_F(RealDesktopTest, XfceShowsThePicturesAndGetsItsOwnBackAtExit) {
    startDesktop(RealDesktop::Kind::Xfce, {{800, 600}});
    if (IsSkipped() || HasFatalFailure())
        return;
    start(true);
    // Right of the desktop's icons.
    const QPoint point(500, 300);
    EXPECT_TRUE(waitForColours({{point, kRed}}));
    pick("Change now");
    EXPECT_TRUE(waitForColours({{point, kGreen}}));
    exitRestoring();
    EXPECT_TRUE(waitForOwnWallpaper(QRect(200, 40, 560, 520)));
}

TEST_F(RealDesktopTest, PlasmaShowsThePicturesAndGetsItsOwnBackUndistortedAtExit) {
    startDesktop(RealDesktop::Kind::Plasma, {{1200, 500}});
    if (IsSkipped() || HasFatalFailure())
        return;
    // The user's own picture, set without a fill mode: Plasma zooms it to cover the screen, so
    // only its white middle band shows; stretched, its red and blue edges would.
    const QString own = m_program->dir() + QStringLiteral("/own.png");
    QImage bands(600, 500, QImage::Format_RGB32);
    bands.fill(kWhite);
    for (int y = 0; y < 125; ++y)
        for (int x = 0; x < 600; ++x) {
            bands.setPixelColor(x, y, kRed);
            bands.setPixelColor(x, 499 - y, kBlue);
        }
    ASSERT_TRUE(bands.save(own));
    QDBusMessage script = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
        QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
    script << QStringLiteral("var d = desktops()[0];\n"
                             "d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", "
                             "\"General\"];\n"
                             "d.writeConfig(\"Image\", \"file://%1\");\n")
                  .arg(own);
    ASSERT_EQ(m_desktop->bus().call(script, QDBus::Block, 20000).type(),
              QDBusMessage::ReplyMessage);
    // Above the panel at the bottom. Its own pale default passes for white from afar.
    const QPoint top(600, 60), bottom(600, 420);
    const bool ownShown = waitUntil(
        [&] {
            const QImage shot = m_desktop->grab();
            return !shot.isNull() && nearColour(shot.pixelColor(top), kWhite, 4) &&
                   nearColour(shot.pixelColor(bottom), kWhite, 4);
        },
        kBoundMs);
    if (!ownShown)
        GTEST_SKIP() << "this Plasma does not show a picture set through its scripting "
                        "interface, so what it gets back at exit cannot be seen";
    m_shown = m_desktop->grab();

    start(true);
    EXPECT_TRUE(waitForColours({{top, kRed}, {bottom, kRed}}));
    pick("Change now");
    EXPECT_TRUE(waitForColours({{top, kGreen}, {bottom, kGreen}}));
    exitRestoring();
    EXPECT_TRUE(waitForOwnWallpaper(QRect(40, 20, 1120, 420)));
}

} // namespace
