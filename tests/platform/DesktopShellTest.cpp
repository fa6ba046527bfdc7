#include "platform/linux/FreedesktopShell.h"
#include "tests/support/FakeBusService.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// The file manager and the portal are services of the test's own at their real interfaces on a
// private bus; what is opened without them goes to a recorder in the desktop handler's place.
TEST(DesktopShell, TheFileManagerSelectsThePictureTheFolderOpensWithoutOneAndThePortalGetsTheFile) {
    ensureQtApplication();
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    QTemporaryDir dir;
    const QString picture = dir.filePath("a sea.jpg");
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("pixels") == 6);
    file.close();
    QList<QUrl> opened;
    const auto recordOpen = [&](const QUrl& url) {
        opened << url;
        return true;
    };

    FreedesktopShell shell(bus.connection(), false, recordOpen);
    shell.showInFolder(picture);
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(dir.path())});
    shell.openFile(picture);
    EXPECT_EQ(opened.last(), QUrl::fromLocalFile(picture));

    FakeBusService fileManager(bus.address());
    fileManager.setReply("/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
                         "ShowItems", {});
    ASSERT_TRUE(fileManager.own("org.freedesktop.FileManager1"));
    shell.showInFolder(picture);
    ASSERT_TRUE(waitUntil([&] { return !fileManager.calls().isEmpty(); }));
    const QDBusMessage shown = fileManager.calls().first();
    EXPECT_EQ(shown.member(), "ShowItems");
    EXPECT_EQ(shown.arguments().value(0).toStringList(),
              QStringList{QUrl::fromLocalFile(picture).toString(QUrl::FullyEncoded)});

    // Sandboxed, the portal is handed the open file itself.
    FakeBusService portal(bus.address());
    portal.setReply("/org/freedesktop/portal/desktop", "org.freedesktop.portal.OpenURI", "OpenFile",
                    QVariantList{QVariant::fromValue(QDBusObjectPath("/request/1"))});
    ASSERT_TRUE(portal.own("org.freedesktop.portal.Desktop"));
    FreedesktopShell sandboxed(bus.connection(), true, recordOpen);
    sandboxed.openFile(picture);
    ASSERT_TRUE(waitUntil([&] { return !portal.calls().isEmpty(); }));
    const QDBusMessage call = portal.calls().first();
    EXPECT_EQ(call.member(), "OpenFile");
    const int fd = call.arguments().value(1).value<QDBusUnixFileDescriptor>().fileDescriptor();
    char content[16] = {};
    EXPECT_EQ(::pread(fd, content, sizeof content, 0), 6);
    EXPECT_STREQ(content, "pixels");
    EXPECT_EQ(opened.size(), 2);
}

} // namespace
