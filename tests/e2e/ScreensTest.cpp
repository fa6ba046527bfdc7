// Several screens as a user meets them: the real program as a native Wayland client of a real
// headless sway with outputs of different sizes, each output's pixels read back with grim.
#include "tests/support/PictureFiles.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RootWindow.h"
#include "tests/support/SwaySession.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSettings>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <unistd.h>

namespace {

const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 20);
const QColor kBlue(20, 20, 220);
constexpr int kBoundMs = 60000;

class ScreensTest : public ::testing::Test {
protected:
    // HEADLESS-1 800x600 on the left; HEADLESS-2 640x480 device pixels at 200% (320x240
    // logical) beside it.
    ScreensTest() : m_sway({{{800, 600}, {0, 0}, 1}, {{640, 480}, {800, 0}, 2}}) {
        ensureQtApplication();
        m_program.runAsUser(m_sway.uid());
        m_sway.addClientEnvironment(m_program.environment());
        m_pictures = m_program.dir() + QStringLiteral("/Pictures");
    }
    ~ScreensTest() override {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_process->processId()), SIGTERM);
            if (!waitForExit(*m_process))
                m_process->kill();
            waitForExit(*m_process);
        }
    }

    void start(const std::map<QString, QString>& values) {
        const QString folder = m_program.userHome() + QStringLiteral("/.config/Halvik");
        QDir().mkpath(folder);
        {
            QSettings profile(folder + QStringLiteral("/tessaron.ini"), QSettings::IniFormat);
            profile.beginGroup(QStringLiteral("Settings"));
            profile.setValue(QStringLiteral("StartPath"), m_pictures);
            profile.setValue(QStringLiteral("AutoRun"), 0);
            for (const auto& [key, value] : values)
                profile.setValue(key, value);
        }
        for (const QString& path : {folder, folder + QStringLiteral("/tessaron.ini")})
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), m_sway.uid(), m_sway.uid()), 0);
        m_process = m_program.start();
    }

    QColor pixel(const QString& output, int x, int y) const {
        const QImage image = m_sway.grab(output);
        return image.valid(x, y) ? image.pixelColor(x, y) : QColor();
    }
    // Waits until every output shows its colour at its centre.
    bool waitForColours(const std::map<QString, QColor>& colours) {
        QStringList seen;
        const bool shown = waitUntil(
            [&] {
                seen.clear();
                for (const auto& [output, colour] : colours) {
                    const QImage image = m_sway.grab(output);
                    const QColor centre =
                        image.isNull() ? QColor()
                                       : image.pixelColor(image.width() / 2, image.height() / 2);
                    seen << output + u'=' + centre.name();
                    if (!nearColour(centre, colour))
                        return false;
                }
                return true;
            },
            kBoundMs);
        if (!shown)
            ADD_FAILURE() << "shown: " << seen.join(u' ').toStdString() << "\n"
                          << (m_process ? m_process->readAllStandardError().constData() : "");
        return shown;
    }
    QSize bitmapSize(const QString& name) const {
        QFile file(m_program.userHome() +
                   QStringLiteral("/.local/share/Halvik/tessaron/Wallpaper/") + name);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray header = file.read(26);
        if (header.size() < 26)
            return {};
        return QSize(qFromLittleEndian<qint32>(header.constData() + 18),
                     qAbs(qFromLittleEndian<qint32>(header.constData() + 22)));
    }

    SwaySession m_sway;
    ProgramUnderTest m_program;
    QString m_pictures;
    std::unique_ptr<QProcess> m_process;
};

TEST_F(ScreensTest, EachOutputShowsItsOwnPictureInDevicePixelsAndANewOutputGetsOneAtOnce) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/a.bmp", kRed, 64, 48));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/b.bmp", kGreen, 64, 48));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/c.bmp", kBlue, 64, 48));
    start({{"EachScreen", "1"}, {"Layout", "2"}});
    EXPECT_TRUE(waitForColours({{"HEADLESS-1", kRed}, {"HEADLESS-2", kGreen}}));

    // Fitted to the 200% output's device pixels, its picture fills it to the corners.
    const QSize fitted = bitmapSize(QStringLiteral("B.bmp"));
    EXPECT_GE(fitted.width(), 639);
    EXPECT_GE(fitted.height(), 479);
    EXPECT_TRUE(nearColour(pixel("HEADLESS-2", 3, 3), kGreen));

    // A new output starts a change that covers it, with the next pictures in turn.
    ASSERT_EQ(m_sway.swaymsg({QStringLiteral("create_output")}), 0);
    ASSERT_TRUE(waitUntil([&] { return m_sway.outputNames().size() == 3; }, kBoundMs));
    EXPECT_TRUE(
        waitForColours({{"HEADLESS-1", kBlue}, {"HEADLESS-2", kRed}, {"HEADLESS-3", kGreen}}));
}

TEST_F(ScreensTest, WithTheSettingOffEveryOutputShowsTheOnePictureWhateverItsName) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    // Names sway would read as commands reach it through a link of a safe name, the same link
    // for both pictures: it still shows the new one.
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/a red (1).bmp", kRed));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/b $(>x); green.bmp", kGreen));
    start({{"EachScreen", "0"}, {"Layout", "1"}, {"Minute", "0"}, {"Seconds", "2"}});
    EXPECT_TRUE(waitForColours({{"HEADLESS-1", kRed}, {"HEADLESS-2", kRed}}));
    EXPECT_TRUE(waitForColours({{"HEADLESS-1", kGreen}, {"HEADLESS-2", kGreen}}));
    EXPECT_FALSE(QFile::exists(m_sway.home() + "/X"));
}

TEST_F(ScreensTest, SpanLaysOnePictureOverScreensOfDifferentScalesAndItsLinesStayStraight) {
    ASSERT_TRUE(m_sway.isRunning()) << m_sway.failure().toStdString();
    // The desktop is 1120x600 in the compositor's layout; the picture has that shape, with one
    // thick line from its bottom left corner to its top right one.
    QImage picture(1120, 600, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setPen(QPen(Qt::black, 12));
        painter.drawLine(0, 600, 1120, 0);
    }
    QDir().mkpath(m_pictures);
    ASSERT_TRUE(picture.save(m_pictures + "/line.bmp"));
    start({{"Layout", "7"}});
    // Where the line's middle lies down a column of an output's pixels; -1 when it is not there.
    const auto lineAt = [](const QImage& shot, int x) {
        int first = -1, last = -1;
        for (int y = 0; y < shot.height(); ++y)
            if (qGray(shot.pixel(x, y)) < 100) {
                first = first < 0 ? y : first;
                last = y;
            }
        return first < 0 ? -1.0 : (first + last) / 2.0;
    };
    // Each output in the layout's units (HEADLESS-2 has two pixels for each), against the line.
    const auto straight = [&] {
        const QImage left = m_sway.grab("HEADLESS-1"), right = m_sway.grab("HEADLESS-2");
        if (left.size() != QSize(800, 600) || right.size() != QSize(640, 480))
            return false;
        const auto onLine = [](double x, double y) {
            return std::abs(y - (600 - x * 600 / 1120)) <= 3;
        };
        for (int x : {100, 400, 700})
            if (!onLine(x, lineAt(left, x)))
                return false;
        for (int x : {40, 320, 600})
            if (!onLine(800 + x / 2.0, lineAt(right, x) / 2))
                return false;
        return true;
    };
    EXPECT_TRUE(waitUntil(straight, kBoundMs))
        << (m_process ? m_process->readAllStandardError().constData() : "");
    // Each output was given its own part, in its own pixels.
    EXPECT_EQ(bitmapSize(QStringLiteral("LINE.bmp")), QSize(800, 600));
    EXPECT_EQ(bitmapSize(QStringLiteral("LINE-2.bmp")), QSize(640, 480));
}

} // namespace
