#include "platform/linux/XfceWallpaper.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TempHome.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <gtest/gtest.h>

namespace {

const QString kImage0 = QStringLiteral("/backdrop/screen0/monitorVirtual1/workspace0/last-image");
const QString kStyle0 = QStringLiteral("/backdrop/screen0/monitorVirtual1/workspace0/image-style");
const QString kImage1 = QStringLiteral("/backdrop/screen0/monitorVirtual1/workspace1/last-image");
const QString kStyle1 = QStringLiteral("/backdrop/screen0/monitorVirtual1/workspace1/image-style");

// The real xfconf daemon on a bus of the test's own, its store in a temporary home.
class XfceWallpaperTest : public testing::Test {
protected:
    void SetUp() override {
        ensureQtApplication();
        ASSERT_TRUE(m_bus.isRunning());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(QStringLiteral("/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"), {});
        ASSERT_TRUE(m_daemon.waitForStarted(10000));
        m_connection = m_bus.connection();
        ASSERT_TRUE(waitUntil([this] {
            return m_connection.interface()
                ->isServiceRegistered(QStringLiteral("org.xfce.Xfconf"))
                .value();
        }));
        m_backend = std::make_unique<XfceWallpaper>(m_connection);
    }
    void TearDown() override {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments) const {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.xfce.Xfconf"), QStringLiteral("/org/xfce/Xfconf"),
            QStringLiteral("org.xfce.Xfconf"), method);
        message.setArguments(arguments);
        return m_connection.call(message, QDBus::Block, 10000);
    }
    void set(const QString& property, const QVariant& value) {
        ASSERT_EQ(call(QStringLiteral("SetProperty"), {QStringLiteral("xfce4-desktop"), property,
                                                       QVariant::fromValue(QDBusVariant(value))})
                      .type(),
                  QDBusMessage::ReplyMessage);
    }
    // The property's value, or an invalid one when it does not exist.
    QVariant get(const QString& property) const {
        const QDBusMessage reply =
            call(QStringLiteral("GetProperty"), {QStringLiteral("xfce4-desktop"), property});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {};
        return reply.arguments().constFirst().value<QDBusVariant>().variant();
    }

    TempHome m_home;
    PrivateSessionBus m_bus;
    QProcess m_daemon;
    QDBusConnection m_connection{QStringLiteral("unset")};
    std::unique_ptr<XfceWallpaper> m_backend;
};

TEST_F(XfceWallpaperTest, ShowWritesEveryMonitorAndWorkspaceAndRestorePutsThemBack) {
    set(kImage0, QStringLiteral("/home/u/a.jpg"));
    set(kStyle0, 4);
    set(kImage1, QStringLiteral("/home/u/b.jpg"));
    ASSERT_TRUE(m_backend->probe());
    const std::optional<WallpaperSnapshot> snapshot = m_backend->read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values,
              (WallpaperValues{QStringLiteral("/home/u/a.jpg"), 6, QStringLiteral("0")}));

    ASSERT_TRUE(m_backend->show({QStringLiteral("/w/PIC.BMP"), 1, QStringLiteral("1")}));
    EXPECT_EQ(get(kImage0).toString(), QStringLiteral("/w/PIC.BMP"));
    EXPECT_EQ(get(kImage1).toString(), QStringLiteral("/w/PIC.BMP"));
    EXPECT_EQ(get(kStyle0).toInt(), 2);
    EXPECT_EQ(get(kStyle1).toInt(), 2);
    ASSERT_TRUE(m_backend->show({QStringLiteral("/w/PIC.BMP"), 1, QStringLiteral("0")}));
    EXPECT_EQ(get(kStyle1).toInt(), 1);
    EXPECT_EQ(get(kImage1).toString(), QStringLiteral("/w/PIC.BMP"));

    // Each monitor its own picture; a monitor without keys yet gets its first workspace's.
    ScreenMetrics first, second;
    first.name = QStringLiteral("Virtual1");
    second.name = QStringLiteral("Virtual2");
    const QString image2 =
        QStringLiteral("/backdrop/screen0/monitorVirtual2/workspace0/last-image");
    ASSERT_TRUE(
        m_backend->showEach({{first, {QStringLiteral("/w/A.BMP"), 1, QStringLiteral("0")}},
                             {second, {QStringLiteral("/w/B.BMP"), 1, QStringLiteral("1")}}}));
    EXPECT_EQ(get(kImage0).toString(), QStringLiteral("/w/A.BMP"));
    EXPECT_EQ(get(kImage1).toString(), QStringLiteral("/w/A.BMP"));
    EXPECT_EQ(get(image2).toString(), QStringLiteral("/w/B.BMP"));
    EXPECT_EQ(get(kStyle0).toInt(), 1);
    EXPECT_EQ(get(image2.chopped(10) + QStringLiteral("image-style")).toInt(), 2);

    ASSERT_TRUE(m_backend->restore(*snapshot));
    EXPECT_FALSE(get(image2).isValid());
    EXPECT_EQ(get(kImage0).toString(), QStringLiteral("/home/u/a.jpg"));
    EXPECT_EQ(get(kImage1).toString(), QStringLiteral("/home/u/b.jpg"));
    EXPECT_EQ(get(kStyle0).toInt(), 4);
    EXPECT_FALSE(get(kStyle1).isValid()); // never set by the user: reset, not written
}

TEST_F(XfceWallpaperTest, EmptyDesktopGetsAPictureAndLosesItAgainOnRestore) {
    const std::optional<WallpaperSnapshot> snapshot = m_backend->read();
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(snapshot->values.wallpaper.isEmpty());
    ASSERT_TRUE(m_backend->show({QStringLiteral("/w/PIC.BMP"), 1, QStringLiteral("0")}));
    const QString image = QStringLiteral("/backdrop/screen0/monitor0/workspace0/last-image");
    EXPECT_EQ(get(image).toString(), QStringLiteral("/w/PIC.BMP"));
    ASSERT_TRUE(m_backend->restore(*snapshot));
    EXPECT_FALSE(get(image).isValid());
}

TEST(XfceWallpaperUnreachable, NoBusFailsQuietly) {
    ensureQtApplication();
    XfceWallpaper backend(QDBusConnection(QStringLiteral("never-connected")), 500);
    EXPECT_FALSE(backend.probe());
    EXPECT_FALSE(backend.show({QStringLiteral("/w/PIC.BMP"), 1, QStringLiteral("1")}));
    EXPECT_FALSE(backend.read());
    EXPECT_FALSE(backend.restore({{}, QStringLiteral(R"({"backend":"xfce","properties":{}})")}));
}

} // namespace
