#include "platform/linux/PlasmaWallpaper.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtTestApp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The shell's scripting interface, recording each script and answering with a set text.
class FakePlasmaShell : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")

public:
    QStringList scripts() const {
        const QMutexLocker lock(&m_mutex);
        return m_scripts;
    }
    void setAnswer(const QString& answer) {
        const QMutexLocker lock(&m_mutex);
        m_answer = answer;
    }

public slots:
    QString evaluateScript(const QString& script) {
        const QMutexLocker lock(&m_mutex);
        m_scripts << script;
        return m_answer;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_scripts;
    QString m_answer;
};

class PlasmaWallpaperTest : public testing::Test {
protected:
    void SetUp() override {
        ensureQtApplication();
        ASSERT_TRUE(m_bus.isRunning());
        // The shell answers on a thread of its own, as a separate process would.
        m_shellThread.start();
        m_shell.moveToThread(&m_shellThread);
        m_shellConnection =
            QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("fake-plasmashell"));
        ASSERT_TRUE(m_shellConnection.registerObject(QStringLiteral("/PlasmaShell"), &m_shell,
                                                     QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(m_shellConnection.registerService(QStringLiteral("org.kde.plasmashell")));
        m_backend = std::make_unique<PlasmaWallpaper>(m_bus.connection());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-plasmashell"));
        m_shellThread.quit();
        m_shellThread.wait();
    }

    PrivateSessionBus m_bus;
    QThread m_shellThread;
    FakePlasmaShell m_shell;
    QDBusConnection m_shellConnection{QStringLiteral("unset")};
    std::unique_ptr<PlasmaWallpaper> m_backend;
};

TEST_F(PlasmaWallpaperTest, ShowSetsImageAndFillModeOnEveryDesktopOrEachScreensOwn) {
    ASSERT_TRUE(m_backend->probe());
    ASSERT_TRUE(m_backend->show({QStringLiteral("/w/MY PIC.BMP"), 1, QStringLiteral("1")}));
    ASSERT_TRUE(m_backend->show({QStringLiteral("/w/MY PIC.BMP"), 1, QStringLiteral("0")}));
    ScreenMetrics left, right;
    left.name = QStringLiteral("DP-1");
    right.name = QStringLiteral("DP-2");
    right.origin = QPoint(1920, 0);
    ASSERT_TRUE(
        m_backend->showEach({{left, {QStringLiteral("/w/A.BMP"), 1, QStringLiteral("0")}},
                             {right, {QStringLiteral("/w/B.BMP"), 1, QStringLiteral("1")}}}));
    const QStringList scripts = m_shell.scripts();
    ASSERT_EQ(scripts.size(), 3);
    EXPECT_TRUE(
        scripts[0].contains(QStringLiteral("{image: \"file:///w/MY%20PIC.BMP\", fillMode: 3}")));
    EXPECT_TRUE(scripts[0].contains(QStringLiteral("desktops()")));
    EXPECT_TRUE(scripts[1].contains(QStringLiteral("fillMode: 6}")));
    // The same image again passes through an empty one so that its new content shows.
    EXPECT_TRUE(scripts[1].contains(QStringLiteral("writeConfig(\"Image\", \"\")")));
    // Each screen's desktops take the picture of their screen's place, left to right.
    EXPECT_TRUE(
        scripts[2].contains(QStringLiteral("[\n    {image: \"file:///w/A.BMP\", fillMode: 6},\n"
                                           "    {image: \"file:///w/B.BMP\", fillMode: 3},\n];")));
    EXPECT_TRUE(scripts[2].contains(QStringLiteral("screenGeometry(a)")));
}

TEST_F(PlasmaWallpaperTest, ReadAndRestoreEveryDesktopsOwnSettings) {
    // The real shell reads the config as text, and as "" for a fill mode never set.
    m_shell.setAnswer(QString::fromUtf8(
        "[{\"plugin\":\"org.kde.image\",\"image\":\"file:///home/u/a.jpg\",\"fillMode\":\"1\"},"
        "{\"plugin\":\"org.kde.slideshow\",\"image\":\"file:///home/u/"
        "b.jpg\",\"fillMode\":\"\"}]\n"));
    const std::optional<WallpaperSnapshot> snapshot = m_backend->read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values,
              (WallpaperValues{QStringLiteral("/home/u/a.jpg"), 6, QStringLiteral("0")}));

    ASSERT_TRUE(m_backend->restore(*snapshot));
    const QString script = m_shell.scripts().constLast();
    const qsizetype second = script.indexOf(QStringLiteral("all[1]"));
    ASSERT_GT(second, 0);
    EXPECT_TRUE(script.left(second).contains(
        QStringLiteral("writeConfig(\"Image\", \"file:///home/u/a.jpg\")")));
    EXPECT_TRUE(script.left(second).contains(QStringLiteral("writeConfig(\"FillMode\", 1)")));
    // Never set: the plugin's default (zoomed), not 0 (stretched).
    EXPECT_TRUE(script.mid(second).contains(QStringLiteral("writeConfig(\"FillMode\", 2)")));
    EXPECT_TRUE(script.contains(QStringLiteral("wallpaperPlugin = \"org.kde.slideshow\"")));

    // A desktop that never set its fill mode is shown zoomed.
    m_shell.setAnswer(QString::fromUtf8(
        "[{\"plugin\":\"org.kde.image\",\"image\":\"file:///home/u/a.jpg\",\"fillMode\":\"\"}]"));
    EXPECT_EQ(m_backend->read()->values,
              (WallpaperValues{QStringLiteral("/home/u/a.jpg"), 10, QStringLiteral("0")}));
}

TEST_F(PlasmaWallpaperTest, UnreadableAnswerRecordsNothing) {
    m_shell.setAnswer(QStringLiteral("ReferenceError: desktops is not defined"));
    EXPECT_FALSE(m_backend->read());
}

TEST(PlasmaWallpaperUnreachable, NoShellOnTheBus) {
    ensureQtApplication();
    PrivateSessionBus bus;
    PlasmaWallpaper backend(bus.connection(), 2000);
    EXPECT_FALSE(backend.probe());
    EXPECT_FALSE(backend.show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("1")}));
    EXPECT_FALSE(backend.read());
}

TEST(PlasmaScriptString, CarriesAnyTextUnchanged) {
    for (const QString& text :
         {QStringLiteral("file:///a/\"quoted\" \\back"), QStringLiteral("line\nbreak\ttab"),
          QStringLiteral("ü ß \u2028 end"), QStringLiteral("\"); evil(); (\"")}) {
        const QString literal = PlasmaWallpaper::scriptString(text);
        // The literal's escapes are a subset of JSON's, so a JSON reader checks it.
        const QJsonDocument parsed = QJsonDocument::fromJson((u'[' + literal + u']').toUtf8());
        ASSERT_TRUE(parsed.isArray()) << literal.toStdString();
        EXPECT_EQ(parsed.array().first().toString(), text);
    }
}

} // namespace

#include "PlasmaWallpaperTest.moc"
