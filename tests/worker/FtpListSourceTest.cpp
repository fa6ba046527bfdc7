#include "ftp/FtpDownloader.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/Waiting.h"
#include "tests/worker/WorkerRig.h"
#include "transport/CurlFtpClient.h"

#include <QFile>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// A downloader over a local folder standing in for the server: it records the names asked for
// and copies the file to a fixed local name with the remote name's extension.
struct FolderDownloader {
    WorkerRig& rig;
    std::shared_ptr<std::mutex> mutex = std::make_shared<std::mutex>();
    std::shared_ptr<QStringList> asked = std::make_shared<QStringList>();

    void install() {
        rig.services().downloadFtpFile = [this](const QString& remote) {
            {
                std::lock_guard lock(*mutex);
                asked->append(remote);
            }
            const QString source = rig.root() + "/server/" + remote;
            const qsizetype dot = remote.lastIndexOf('.');
            const QString local =
                rig.root() + "/download/wp400" + (dot >= 0 ? remote.mid(dot) : remote);
            QFile::remove(local);
            return QFile::copy(source, local) ? local : QString();
        };
        rig.makeFolder("download");
    }
    QStringList names() const {
        std::lock_guard lock(*mutex);
        return *asked;
    }
};

} // namespace

TEST(FtpListSource, DownloadsByTheNameAfterTheLastSlashFromThePosition) {
    WorkerRig rig;
    FolderDownloader server{rig};
    server.install();
    rig.makeFile("server/Sea.GIF");
    rig.makeFile("server/bare.jpg");
    rig.makeFile("server/noext");
    rig.setUrlList({"ftp://s/pub/pics/Sea.GIF", "bare.jpg", "ftp://other/x/noext"});
    rig.setSettings([](WallpaperSettings& s) {
        s.UseFileList = 2;
        s.CurURLListPos = 2;
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - noext"; }));
    for (int i = 2; i <= 3; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(server.names(), (QStringList{"noext", "Sea.GIF", "bare.jpg"}));
    // The bitmap keeps the remote name's case; a name without a dot gives ".bmp".
    EXPECT_EQ(rig.appliedNames(), (QStringList{".bmp", "Sea.bmp", "bare.bmp"}));
    EXPECT_EQ(rig.converted()[1], rig.root() + "/download/wp400.GIF");
    EXPECT_TRUE(waitUntil([&] { return rig.settings().CurURLListPos == 2; }));
    // The picture shown is named by its address, not by the downloaded copy.
    EXPECT_EQ(rig.state().read([](const SlideShowState::Data& d) { return d.currentPicture; }),
              QStringLiteral("bare.jpg"));
}

TEST(FtpListSource, AFailedDownloadOrAnEmptyListChangesNothingAndDoesNotHammer) {
    WorkerRig rig;
    FolderDownloader server{rig};
    server.install();
    rig.setUrlList({"ftp://s/missing.jpg", "ftp://s/dir/"});
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 2; });
    rig.worker().start();
    ASSERT_TRUE(waitUntil([&] { return server.names().size() == 1; }));
    waitUntil(
        [&] {
            rig.worker().requestChange();
            return false;
        },
        1500);
    EXPECT_LE(server.names().size(), 3);
    EXPECT_EQ(server.names().first(), "missing.jpg");
    EXPECT_EQ(rig.settings().CurURLListPos, 0);
    EXPECT_TRUE(rig.applied().isEmpty());

    // An empty list: the tip says so, and the worker waits rather than setting it again and
    // again.
    rig.setUrlList({});
    ASSERT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - File is not found"; }));
    const qsizetype tipsBefore = rig.tips().size();
    const std::uint64_t callsBefore = rig.worker().sourceCalls();
    waitUntil([] { return false; }, 1500);
    EXPECT_EQ(rig.worker().sourceCalls(), callsBefore);
    EXPECT_EQ(rig.tips().size(), tipsBefore);
}

TEST(FtpListSource, StopAbortsADownloadInProgress) {
    WorkerRig rig;
    auto aborted = std::make_shared<std::atomic<bool>>(false);
    auto started = std::make_shared<std::atomic<bool>>(false);
    rig.services().downloadFtpFile = [aborted, started](const QString&) {
        started->store(true);
        waitUntil([&] { return aborted->load(); }, 60000);
        return QString();
    };
    rig.services().abortDownload = [aborted] { aborted->store(true); };
    rig.setUrlList({"ftp://s/a.jpg"});
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 2; });
    rig.worker().start();
    ASSERT_TRUE(waitUntil([&] { return started->load(); }));
    rig.worker().stop(std::chrono::seconds(20));
    EXPECT_TRUE(aborted->load());
    EXPECT_EQ(rig.worker().lastExitCode(), 0);
}

TEST(FtpListSource, ShowsPicturesFromARealServerAndStaysOnAFailedOne) {
    FtpTestServer server;
    ASSERT_TRUE(server.isRunning());
    ASSERT_TRUE(server.writeFile("pics/one.jpg", "1"));
    ASSERT_TRUE(server.writeFile("pics/Two.GIF", "2"));
    ASSERT_TRUE(server.writeFile("pics/three.bmp", "3"));
    WorkerRig rig;
    rig.setSettings([&](WallpaperSettings& s) {
        s.UseFileList = 2;
        s.CurURLListPos = 2;
        s.FtpServer = server.server();
        s.FtpLogin = server.user();
        s.FtpPassword = server.password();
        s.FtpFolder = "pics";
    });
    // The entries name another host and folder: only the name after the last "/" counts.
    rig.setUrlList({"ftp://elsewhere/x/one.jpg", "ftp://elsewhere/x/Two.GIF", "three.bmp"});
    FtpDownloader downloader(
        std::make_shared<CurlFtpClient>(),
        [&rig] {
            const WallpaperSettings s = rig.settings();
            return FtpAccount{s.FtpServer, s.FtpLogin, s.FtpPassword, s.FtpFolder};
        },
        rig.root() + "/run");
    rig.services().downloadFtpFile = [&](const QString& name) {
        return downloader.DownloadFtpFile(name);
    };
    rig.services().abortDownload = [&] { downloader.abort(); };

    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    for (int i = 2; i <= 3; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames(), (QStringList{"three.bmp", "one.bmp", "Two.bmp"}));
    EXPECT_EQ(rig.converted()[2], rig.root() + "/run/wp400.GIF");
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - Two.GIF"; }));

    // The next picture vanished from the server: nothing changes and the position stays.
    QFile::remove(server.root() + "/pics/three.bmp");
    const std::uint64_t calls = rig.worker().sourceCalls();
    rig.worker().requestChange();
    ASSERT_TRUE(waitUntil([&] { return rig.worker().sourceCalls() > calls; }));
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));
    rig.worker().stop(std::chrono::seconds(20));
    EXPECT_EQ(rig.applied().size(), 3);
    EXPECT_EQ(rig.settings().CurURLListPos, 2);
}

TEST(FtpListSource, EntriesWithASchemeOfTheirOwnAreDownloadedFromTheirAddress) {
    WorkerRig rig;
    FolderDownloader server{rig};
    server.install();
    const QStringList entries{"https://h/p/web.jpg", "sftp://h/x/s.gif", "ftp://other/y/plain.jpg"};
    for (const QString& file : {entries[0], entries[1], QStringLiteral("plain.jpg")})
        rig.makeFile("server/" + file);
    rig.setUrlList(entries);
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 2; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    for (int i = 2; i <= 3; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(server.names(), (QStringList{entries[0], entries[1], "plain.jpg"}));
    EXPECT_EQ(rig.appliedNames(), (QStringList{"web.bmp", "s.bmp", "plain.bmp"}));
}
