// The real tessaron.exe under Wine and Xvfb: a folder of two pictures, a change a second, the
// wallpaper read back from the registry and its bitmap pixel by pixel, the end through the
// control pipe (--quit).
#include "tests/support/QtTestApp.h"
#include "tests/support/Waiting.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kProfile = QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvik\\tessaron\\Settings");
const QString kDesktop = QStringLiteral("HKEY_CURRENT_USER\\Control Panel\\Desktop");

// The build's path of the program is the host's: under Wine it is on drive Z.
QString program() {
    const QString path = QStringLiteral(TESSARON_BINARY);
    return QDir::toNativeSeparators(path.startsWith(QLatin1Char('/')) ? QStringLiteral("Z:") + path
                                                                      : path);
}

QString wallpaper() {
    return QSettings(kDesktop, QSettings::NativeFormat)
        .value(QStringLiteral("Wallpaper"))
        .toString();
}

TEST(WindowsSlideShowTest, APictureOfTheFolderBecomesTheWallpaperBitmapAndQuitEndsTheProgram) {
    ensureQtApplication();
    QTemporaryDir pictures;
    ASSERT_TRUE(pictures.isValid());
    const QColor red(220, 20, 20), blue(20, 20, 220);
    for (const auto& [name, colour] : {std::pair{"red.bmp", red}, std::pair{"blue.bmp", blue}}) {
        QImage picture(64, 48, QImage::Format_RGB888);
        picture.fill(colour);
        ASSERT_TRUE(picture.save(pictures.filePath(QString::fromLatin1(name))));
    }
    {
        // Tiled one-colour pictures: any pixel of the bitmap tells which one it is.
        QSettings profile(kProfile, QSettings::NativeFormat);
        profile.setValue(QStringLiteral("StartPath"), QDir::toNativeSeparators(pictures.path()));
        profile.setValue(QStringLiteral("Layout"), 1);
        profile.setValue(QStringLiteral("AutoRun"), 0);
        profile.setValue(QStringLiteral("Minute"), 0);
        profile.setValue(QStringLiteral("Seconds"), 1);
    }
    QSettings(kDesktop, QSettings::NativeFormat).setValue(QStringLiteral("Wallpaper"), QString());

    QProcess running;
    running.start(program(), {});
    ASSERT_TRUE(running.waitForStarted(20000));
    ASSERT_TRUE(waitUntil(
        [] { return wallpaper().endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive); }, 60000));
    const QImage bitmap(wallpaper());
    ASSERT_FALSE(bitmap.isNull()) << wallpaper().toStdString();
    const QColor pixel = bitmap.pixelColor(bitmap.width() / 2, bitmap.height() / 2);
    EXPECT_TRUE(pixel == red || pixel == blue) << pixel.name().toStdString();

    QProcess quit;
    quit.start(program(), {QStringLiteral("--quit")});
    EXPECT_TRUE(waitForExit(quit, 30000));
    EXPECT_TRUE(waitForExit(running, 30000));
    QSettings(kProfile, QSettings::NativeFormat).remove(QString());
}

} // namespace
