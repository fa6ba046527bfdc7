// Hyprland cannot run here: hyprctl is a script of the test's own at its command line, keeping
// what hyprpaper would hold.
#include "platform/linux/HyprlandWallpaper.h"
#include "tests/support/QtTestApp.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class HyprlandWallpaperTest : public testing::Test {
protected:
    void SetUp() override {
        ensureQtApplication();
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ":/usr/bin:/bin");
        QFile script(m_dir.filePath("hyprctl"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(R"(#!/bin/sh
d=$(dirname "$0")
echo "$*" >> "$d/log"
[ -e "$d/down" ] && { echo "Couldn't connect to hyprpaper"; exit 3; }
touch "$d/loaded"
case "$2" in
preload) [ -f "$3" ] || { echo "preload failed"; exit 0; }
         grep -qxF "$3" "$d/loaded" || echo "$3" >> "$d/loaded"; echo ok ;;
unload) grep -vxF "$3" "$d/loaded" > "$d/kept"; mv "$d/kept" "$d/loaded"; echo ok ;;
wallpaper) p=${3#*,}; p=${p#contain:}; p=${p#tile:}
           if grep -qxF "$p" "$d/loaded"; then echo ok; else echo "wallpaper failed"; fi ;;
listloaded) cat "$d/loaded" ;;
listactive) cat "$d/active" ;;
esac
)");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override { qputenv("PATH", m_savedPath); }

    QStringList lines(const char* name) const {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // The requests since the last call.
    QStringList requests() {
        const QStringList all = lines("log");
        const QStringList fresh = all.mid(m_seen);
        m_seen = all.size();
        return fresh;
    }
    QString bitmap(const char* name, const QColor& colour) const {
        QImage image(32, 24, QImage::Format_RGB888);
        image.fill(colour);
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        image.save(path, "BMP");
        return path;
    }
    // The path in "hyprpaper preload PATH".
    static QString preloaded(const QString& request) { return request.section(u' ', 2); }

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
    qsizetype m_seen = 0;
};

TEST_F(HyprlandWallpaperTest, EachChangePreloadsSetsThenUnloadsWhatItReplaced) {
    HyprlandWallpaper backend;
    ASSERT_TRUE(backend.probe());
    requests();

    ASSERT_TRUE(backend.show({bitmap("A.BMP", Qt::red), 1, QStringLiteral("1")}));
    QStringList sent = requests();
    ASSERT_EQ(sent.size(), 2);
    const QString first = preloaded(sent[0]);
    EXPECT_EQ(sent[1], "hyprpaper wallpaper ,tile:" + first);
    // A PNG copy, since hyprpaper reads no BMP; the user's alone.
    EXPECT_EQ(QImage(first).pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(QFileInfo(first).permissions() & QFile::Permissions::fromInt(0x7077),
              QFile::ReadOwner | QFile::WriteOwner);

    ASSERT_TRUE(backend.show({bitmap("A.BMP", Qt::green), 1, QStringLiteral("0")}));
    sent = requests();
    ASSERT_EQ(sent.size(), 3);
    const QString second = preloaded(sent[0]);
    EXPECT_NE(second, first); // same bitmap path, new content: a new name
    EXPECT_EQ(sent[1], "hyprpaper wallpaper ,contain:" + second);
    EXPECT_EQ(sent[2], "hyprpaper unload " + first);
    EXPECT_EQ(lines("loaded"), QStringList{second});

    ScreenMetrics left, right;
    left.name = QStringLiteral("DP-1");
    right.name = QStringLiteral("DP-2");
    ASSERT_TRUE(backend.showEach({{left, {bitmap("L.BMP", Qt::blue), 1, QStringLiteral("0")}},
                                  {right, {bitmap("R.BMP", Qt::red), 1, QStringLiteral("0")}}}));
    sent = requests();
    ASSERT_EQ(sent.size(), 5);
    EXPECT_EQ(sent[2], "hyprpaper wallpaper DP-1,contain:" + preloaded(sent[0]));
    EXPECT_EQ(sent[3], "hyprpaper wallpaper DP-2,contain:" + preloaded(sent[1]));
    EXPECT_EQ(sent[4], "hyprpaper unload " + second);

    // One picture again: the monitors that had their own get it too; hyprpaper holds only it.
    ASSERT_TRUE(backend.show({bitmap("A.BMP", Qt::red), 1, QStringLiteral("0")}));
    sent = requests();
    ASSERT_EQ(sent.size(), 6);
    const QString last = preloaded(sent[0]);
    EXPECT_EQ(sent.mid(1, 3), QStringList({"hyprpaper wallpaper ,contain:" + last,
                                           "hyprpaper wallpaper DP-1,contain:" + last,
                                           "hyprpaper wallpaper DP-2,contain:" + last}));
    EXPECT_EQ(lines("loaded"), QStringList{last});

    // hyprpaper gone: the change fails and says why.
    QFile(m_dir.filePath("down")).open(QIODevice::WriteOnly);
    EXPECT_FALSE(backend.probe());
    EXPECT_FALSE(backend.show({bitmap("A.BMP", Qt::red), 1, QStringLiteral("0")}));
}

TEST_F(HyprlandWallpaperTest, EachMonitorsPictureIsRecordedAndPutBack) {
    // The user's pictures, loaded from hyprpaper's own configuration.
    const QString a = bitmap("user a.png", Qt::red), b = bitmap("b.png", Qt::green);
    QFile active(m_dir.filePath("active"));
    ASSERT_TRUE(active.open(QIODevice::WriteOnly));
    active.write(QStringLiteral("DP-1 = %1\nDP-2 = %2\n").arg(a, b).toUtf8());
    active.close();
    QFile loaded(m_dir.filePath("loaded"));
    ASSERT_TRUE(loaded.open(QIODevice::WriteOnly));
    loaded.write((a + u'\n' + b + u'\n').toUtf8());
    loaded.close();

    HyprlandWallpaper backend;
    const std::optional<WallpaperSnapshot> snapshot = backend.read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values.wallpaper, a);
    ASSERT_TRUE(backend.show({bitmap("A.BMP", Qt::blue), 1, QStringLiteral("0")}));
    requests();
    ASSERT_TRUE(backend.restore(*snapshot));
    const QStringList sent = requests();
    EXPECT_TRUE(sent.contains("hyprpaper wallpaper DP-1," + a));
    EXPECT_TRUE(sent.contains("hyprpaper wallpaper DP-2," + b));
    EXPECT_EQ(lines("loaded"), QStringList({a, b}));
}

} // namespace
