// The real tessaron.exe under Wine and Xvfb: a folder of two pictures, the wallpaper read back
// from the system and its bitmap pixel by pixel, --next, a second copy, Exit from the
// notification-area menu with the user's wallpaper put back, and the Startup shortcut.
#include "platform/windows/ShellLinkResolver.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/Waiting.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

namespace {

const QString kProfile = QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvik\\tessaron");
const QColor kRed(220, 20, 20), kBlue(20, 20, 220), kGreen(20, 200, 20);

// The build's path of the program is the host's: under Wine it is on drive Z.
QString program() {
    const QString path = QStringLiteral(TESSARON_BINARY);
    return QDir::toNativeSeparators(path.startsWith(QLatin1Char('/')) ? QStringLiteral("Z:") + path
                                                                      : path);
}

// As the registry holds it: Wine keeps what SPI_GETDESKWALLPAPER answers per process.
QString wallpaper() {
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\Control Panel\\Desktop"),
                     QSettings::NativeFormat)
        .value(QStringLiteral("Wallpaper"))
        .toString();
}

// The colour in the middle of the wallpaper's bitmap; invalid while there is none.
QColor shownColour() {
    const QImage bitmap(wallpaper());
    return bitmap.isNull() ? QColor() : bitmap.pixelColor(bitmap.width() / 2, bitmap.height() / 2);
}

bool writePicture(const QString& path, const QColor& colour) {
    QImage picture(64, 48, QImage::Format_RGB888);
    picture.fill(colour);
    return picture.save(path);
}

// The visible top-level window of process `pid` titled `title` (any title when empty).
HWND visibleWindowOf(qint64 pid, const wchar_t* title) {
    struct Search {
        DWORD pid;
        const wchar_t* title;
        HWND found;
    } search{static_cast<DWORD>(pid), title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t text[128] = {};
            GetWindowTextW(window, text, 128);
            if (owner == s->pid && IsWindowVisible(window) &&
                (!s->title || std::wstring_view(text) == s->title)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void pressKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 1 | (1U << 30) | (1U << 31));
}

// Exit from the icon's menu, as the notification area reports a right-click to the icon's
// window, then Yes to "Restore old wallpaper?".
bool exitRestoring(QProcess& running) {
    HWND icon = nullptr;
    waitUntil([&] { return (icon = FindWindowW(nullptr, L"QTrayIconMessageWindow")); });
    if (!icon)
        return false;
    constexpr UINT kIconMessage = WM_APP + 101;
    PostMessageW(icon, kIconMessage, MAKEWPARAM(100, 100), MAKELPARAM(WM_CONTEXTMENU, 0));
    HWND menu = nullptr;
    if (!waitUntil([&] { return (menu = visibleWindowOf(running.processId(), nullptr)); }))
        return false;
    // Exit is the menu's last entry: Up from no entry lands on it.
    pressKey(menu, VK_UP);
    pressKey(menu, VK_RETURN);
    HWND question = nullptr;
    if (!waitUntil([&] { return (question = visibleWindowOf(running.processId(), L"Question")); }))
        return false;
    pressKey(question, VK_RETURN); // Yes is the answer it offers first
    return waitForExit(running, 30000);
}

TEST(WindowsSlideShowTest, TheFoldersPicturesBecomeTheWallpaperAndExitPutsTheUsersBack) {
    ensureQtApplication();
    QTemporaryDir pictures, own;
    ASSERT_TRUE(pictures.isValid() && own.isValid());
    ASSERT_TRUE(writePicture(pictures.filePath(QStringLiteral("blue.bmp")), kBlue));
    ASSERT_TRUE(writePicture(pictures.filePath(QStringLiteral("red.bmp")), kRed));
    // The user's own wallpaper, which Exit puts back.
    const QString ownPath = QDir::toNativeSeparators(own.filePath(QStringLiteral("own.bmp")));
    ASSERT_TRUE(writePicture(ownPath, kGreen));
    std::wstring ownWide = ownPath.toStdWString();
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, ownWide.data(),
                                      SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE));
    {
        // A fresh profile: no record of an earlier run's wallpaper.
        QSettings(kProfile, QSettings::NativeFormat).remove(QString());
        // Tiled one-colour pictures: any pixel of the bitmap tells which one it is.
        QSettings profile(kProfile + QStringLiteral("\\Settings"), QSettings::NativeFormat);
        profile.setValue(QStringLiteral("StartPath"), QDir::toNativeSeparators(pictures.path()));
        profile.setValue(QStringLiteral("Layout"), 1);
        profile.setValue(QStringLiteral("AutoRun"), 1);
        profile.setValue(QStringLiteral("Minute"), 10);
    }

    // The system's own windows and notification area, not the tests' offscreen platform.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("windows"));
    QProcess running;
    running.setProcessEnvironment(environment);
    running.start(program(), {});
    ASSERT_TRUE(running.waitForStarted(20000));
    QColor first;
    ASSERT_TRUE(waitUntil(
        [&] {
            first = shownColour();
            return first == kBlue || first == kRed;
        },
        60000))
        << wallpaper().toStdString() << running.readAllStandardError().toStdString();
    EXPECT_TRUE(wallpaper().endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive));

    // A second copy leaves at once and changes nothing.
    QProcess second;
    second.start(program(), {});
    EXPECT_TRUE(waitForExit(second, 30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(running.state(), QProcess::Running);

    QProcess next;
    next.start(program(), {QStringLiteral("--next")});
    EXPECT_TRUE(waitForExit(next, 30000));
    const QColor other = first == kBlue ? kRed : kBlue;
    EXPECT_TRUE(waitUntil([&] { return shownColour() == other; }, 60000))
        << shownColour().name().toStdString();

    ASSERT_TRUE(exitRestoring(running));
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_EQ(QDir::toNativeSeparators(wallpaper()).toStdString(), ownPath.toStdString());

    // AutoRun=1: the Startup folder's shortcut names the program.
    PWSTR startup = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Startup, 0, nullptr, &startup), S_OK);
    const QString shortcut = QString::fromWCharArray(startup) + QStringLiteral("\\Tessaron.lnk");
    CoTaskMemFree(startup);
    const std::optional<QString> target = ShellLinkResolver::targetOf(shortcut);
    ASSERT_TRUE(target.has_value()) << shortcut.toStdString();
    EXPECT_EQ(QFileInfo(*target).canonicalFilePath(), QFileInfo(program()).canonicalFilePath());
    QFile::remove(shortcut);
    QSettings(kProfile, QSettings::NativeFormat).remove(QString());
}

} // namespace
