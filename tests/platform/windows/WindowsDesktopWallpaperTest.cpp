// The wallpaper under Wine: its real registry and SystemParametersInfoW, read back as the
// desktop would read them.
#include "platform/windows/WindowsDesktopWallpaper.h"
#include "platform/windows/WindowsPath.h"
#include "tests/support/PictureFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

struct Stored {
    DWORD type = REG_NONE; // REG_NONE: absent
    QString text;          // a number in decimal
};

Stored stored(const wchar_t* name) {
    HKEY key = nullptr;
    Stored value;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key))
        return value;
    std::vector<BYTE> data(4096, 0);
    DWORD size = static_cast<DWORD>(data.size() - sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &value.type, data.data(), &size) == ERROR_SUCCESS)
        value.text = value.type == REG_DWORD
                         ? QString::number(*reinterpret_cast<const DWORD*>(data.data()))
                         : QString::fromWCharArray(reinterpret_cast<const wchar_t*>(data.data()));
    ::RegCloseKey(key);
    return value;
}

void store(const wchar_t* name, DWORD type, const QString& text) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (type == REG_NONE) {
        ::RegDeleteValueW(key, name);
    } else if (type == REG_DWORD) {
        const DWORD number = text.toUInt();
        ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    } else {
        const std::wstring wide = text.toStdWString();
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                         static_cast<DWORD>((wide.size() + 1) * 2));
    }
    ::RegCloseKey(key);
}

class WindowsDesktopWallpaperTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const auto before = m_wallpaper.read();
        ASSERT_TRUE(before);
        m_before = *before;
    }
    void TearDown() override { m_wallpaper.restore(m_before); }

    QString bitmap(const QString& name) const {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(writeSolidPicture(path, Qt::blue));
        return path;
    }

    QTemporaryDir m_dir;
    WindowsDesktopWallpaper m_wallpaper;
    WallpaperSnapshot m_before;
};

TEST_F(WindowsDesktopWallpaperTest, ShowWritesTheValuesAsTextAndTheSystemShowsThePicture) {
    ASSERT_TRUE(m_wallpaper.probe());
    const QString tiled = bitmap(QStringLiteral("TILED.BMP"));
    ASSERT_TRUE(m_wallpaper.show({tiled, 1, QStringLiteral("1")}));
    EXPECT_EQ(WindowsDesktopWallpaper::systemWallpaper(), tiled);
    EXPECT_EQ(stored(L"Wallpaper").type, DWORD(REG_SZ));
    EXPECT_EQ(QDir::fromNativeSeparators(stored(L"Wallpaper").text), tiled);
    // Text, as the desktop reads them; a DWORD here would not be taken.
    EXPECT_EQ(stored(L"WallpaperStyle").type, DWORD(REG_SZ));
    EXPECT_EQ(stored(L"WallpaperStyle").text, QStringLiteral("1"));
    EXPECT_EQ(stored(L"TileWallpaper").type, DWORD(REG_SZ));
    EXPECT_EQ(stored(L"TileWallpaper").text, QStringLiteral("1"));

    const QString spanned = bitmap(QStringLiteral("SPANNED.BMP"));
    ASSERT_TRUE(m_wallpaper.show({spanned, 22, QStringLiteral("0")}));
    EXPECT_EQ(WindowsDesktopWallpaper::systemWallpaper(), spanned);
    EXPECT_EQ(stored(L"WallpaperStyle").text, QStringLiteral("22"));
    EXPECT_EQ(stored(L"TileWallpaper").text, QStringLiteral("0"));

    // Without a picture per screen the program spans one picture, and showEach refuses.
    if (!m_wallpaper.takesEachScreen()) {
        EXPECT_FALSE(m_wallpaper.showEach({{ScreenMetrics{}, {tiled, 1, QStringLiteral("0")}}}));
    }
}

TEST_F(WindowsDesktopWallpaperTest, ReadAndRestorePutBackEachValueWithItsType) {
    const QString own = bitmap(QStringLiteral("own.bmp"));
    ASSERT_TRUE(m_wallpaper.show({own, 0, QStringLiteral("0")}));
    store(L"WallpaperStyle", REG_DWORD, QStringLiteral("10"));
    store(L"TileWallpaper", REG_NONE, {});

    const auto snapshot = m_wallpaper.read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values, (WallpaperValues{own, 10, QStringLiteral("0")}));

    ASSERT_TRUE(m_wallpaper.show({bitmap(QStringLiteral("OTHER.BMP")), 1, QStringLiteral("1")}));
    ASSERT_TRUE(m_wallpaper.restore(*snapshot));
    EXPECT_EQ(WindowsDesktopWallpaper::systemWallpaper(), own);
    EXPECT_EQ(stored(L"WallpaperStyle").type, DWORD(REG_DWORD));
    EXPECT_EQ(stored(L"WallpaperStyle").text, QStringLiteral("10"));
    EXPECT_EQ(stored(L"TileWallpaper").type, DWORD(REG_NONE));
    EXPECT_EQ(m_wallpaper.read(), snapshot);

    // A record from elsewhere is put back from its three values, as text; an empty path takes
    // the picture away.
    ASSERT_TRUE(m_wallpaper.restore({{QString(), 2, QStringLiteral("0")}, QString()}));
    EXPECT_EQ(WindowsDesktopWallpaper::systemWallpaper(), QString());
    EXPECT_EQ(stored(L"WallpaperStyle").type, DWORD(REG_SZ));
    EXPECT_EQ(stored(L"WallpaperStyle").text, QStringLiteral("2"));
    EXPECT_EQ(stored(L"TileWallpaper").text, QStringLiteral("0"));
}

} // namespace
