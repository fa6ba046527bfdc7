// Listing a server folder for the URL list, against a real FTP server, and forming the
// addresses of its pictures.
#include "ftp/FolderListing.h"
#include "ftp/FolderListingJob.h"
#include "tests/ftp/PrintQt.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/Waiting.h"
#include "transport/CurlFtpClient.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>

namespace {

bool anyCommandStartsWith(const QStringList& commands, const QString& prefix) {
    for (const QString& command : commands)
        if (command.startsWith(prefix))
            return true;
    return false;
}

class FolderListingTest : public ::testing::Test {
protected:
    explicit FolderListingTest(const FtpTestServer::Options& options = {})
        : m_server(options), m_account{m_server.server(), m_server.user(), m_server.password(),
                                       QString()} {}

    void SetUp() override {
        ASSERT_TRUE(m_server.isRunning());
        // The example folder: pictures by any case of their mark, a mark inside a name, a
        // text file and a subfolder.
        for (const char* name : {"a.jpg", "b.txt", "c.Jpeg", "d.gif.txt"})
            ASSERT_TRUE(m_server.writeFile(QStringLiteral("pub/") + QLatin1String(name), "x"));
        ASSERT_TRUE(m_server.makeDir(QStringLiteral("pub/pics")));
        ASSERT_TRUE(m_server.makeDir(QStringLiteral("empty")));
    }

    QString url(const QString& path) const {
        return QStringLiteral("ftp://") + m_server.server() + path;
    }

    FolderListingResult list() { return FolderListingJob::run(m_client, m_account); }

    FtpTestServer m_server;
    CurlFtpClient m_client;
    FtpAccount m_account;
};

TEST_F(FolderListingTest, PicturesOfTheFolderInListingOrderWithTheReportedDirectory) {
    // A lone CR is part of the name, which is then no name to fetch: it must not split in two.
    // Windows file names cannot hold one, so there the server has no such file.
    if (QSysInfo::kernelType() != QLatin1String("winnt"))
        ASSERT_TRUE(m_server.writeFile(QStringLiteral("pub/evil\rsplit.jpg"), "x"));
    m_account.folder = QStringLiteral("pub");
    const FolderListingResult result = list();
    EXPECT_EQ(result.outcome, FolderListingResult::Outcome::Listed);
    EXPECT_EQ(result.directory, QStringLiteral("/pub"));
    EXPECT_EQ(result.urls,
              QStringList({url(QStringLiteral("/pub/a.jpg")), url(QStringLiteral("/pub/c.Jpeg")),
                           url(QStringLiteral("/pub/d.gif.txt"))}));
    EXPECT_TRUE(m_server.commands().contains(QStringLiteral("CWD pub")));
    EXPECT_TRUE(waitUntil([this] { return m_server.openConnections() == 0; }));
}

TEST_F(FolderListingTest, RootGivesASingleSlashAndAnEmptyFolderNoEntries) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("top.BMP"), "x"));
    const FolderListingResult result = list();
    EXPECT_EQ(result.outcome, FolderListingResult::Outcome::Listed);
    EXPECT_EQ(result.directory, QStringLiteral("/"));
    EXPECT_EQ(result.urls, QStringList({url(QStringLiteral("/top.BMP"))}));
    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("CWD")));

    m_account.folder = QStringLiteral("/empty");
    const FolderListingResult empty = list();
    EXPECT_EQ(empty.outcome, FolderListingResult::Outcome::Listed);
    EXPECT_EQ(empty.directory, QStringLiteral("/empty"));
    EXPECT_TRUE(empty.urls.isEmpty());
}

TEST_F(FolderListingTest, FailureKinds) {
    m_account.folder = QStringLiteral("no-such-folder");
    EXPECT_EQ(list().outcome, FolderListingResult::Outcome::FolderNotFound);

    m_account.folder = QStringLiteral("pub\r\nMKD planted");
    EXPECT_EQ(list().outcome, FolderListingResult::Outcome::FolderNotFound);
    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("MKD")));

    m_account.folder = QStringLiteral("pub");
    m_account.password = QStringLiteral("wrong");
    const FolderListingResult rejected = list();
    EXPECT_EQ(rejected.outcome, FolderListingResult::Outcome::SessionFailed);
    EXPECT_TRUE(rejected.urls.isEmpty());

    m_account.password = m_server.password();
    m_account.server = QStringLiteral("no-such-host.invalid");
    EXPECT_EQ(list().outcome, FolderListingResult::Outcome::SessionFailed);
    EXPECT_TRUE(waitUntil([this] { return m_server.openConnections() == 0; }));
}

// The reported folder follows the host in each address: only an absolute one may.
TEST(FolderListingReply, AFolderReportedWithoutALeadingSlashIsNotPutInTheAddresses) {
    for (const char* reply : {":2990/pics", ".evil.example/pics"}) {
        FtpTestServer server({.directoryReply = QString::fromLatin1(reply)});
        ASSERT_TRUE(server.writeFile(QStringLiteral("pub/a.jpg"), "x"));
        CurlFtpClient client;
        const FtpAccount account{server.server(), server.user(), server.password(),
                                 QStringLiteral("pub")};
        EXPECT_EQ(FolderListingJob::run(client, account).urls,
                  QStringList({QStringLiteral("ftp://") + server.server() + "/a.jpg"}))
            << reply;
    }
}

class ReversedListingTest : public FolderListingTest {
protected:
    ReversedListingTest()
        : FolderListingTest(
              {.refusePassive = true, .order = FtpTestServer::ListingOrder::Reversed}) {}
};

TEST_F(ReversedListingTest, ServerOrderIsKeptAndTheDataConnectionIsActive) {
    m_account.folder = QStringLiteral("/pub");
    const FolderListingResult result = list();
    EXPECT_EQ(result.urls,
              QStringList({url(QStringLiteral("/pub/d.gif.txt")),
                           url(QStringLiteral("/pub/c.Jpeg")), url(QStringLiteral("/pub/a.jpg"))}));
    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("PASV")));
}

TEST_F(FolderListingTest, JobDeliversOnTheCallersThreadOnceAndRefusesASecondStart) {
    ensureQtApplication();
    FolderListingJob job(std::make_shared<CurlFtpClient>());
    std::optional<FolderListingResult> delivered;
    QThread* deliveredOn = nullptr;
    QObject::connect(&job, &FolderListingJob::finished, [&](const FolderListingResult& result) {
        delivered = result;
        deliveredOn = QThread::currentThread();
    });
    m_account.folder = QStringLiteral("pub");
    ASSERT_TRUE(job.start(m_account));
    EXPECT_FALSE(job.start(m_account));
    ASSERT_TRUE(waitUntil([&] { return delivered.has_value(); }));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
    EXPECT_EQ(delivered->urls.size(), 3);
    EXPECT_FALSE(job.isRunning());

    // A second run gives the same rows, not twice as many.
    delivered.reset();
    ASSERT_TRUE(job.start(m_account));
    ASSERT_TRUE(waitUntil([&] { return delivered.has_value(); }));
    EXPECT_EQ(delivered->urls.size(), 3);

    // An owned listing delivers once and removes its job.
    QObject owner;
    int calls = 0;
    FolderListingResult ownedResult;
    FolderListingJob::listFolder(std::make_shared<CurlFtpClient>(), m_account, &owner,
                                 [&](const FolderListingResult& result) {
                                     ++calls;
                                     ownedResult = result;
                                 });
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ownedResult.urls.size(), 3);
    EXPECT_TRUE(owner.children().isEmpty());
}

class ActiveRefusingListingTest : public FolderListingTest {
protected:
    ActiveRefusingListingTest() : FolderListingTest({.refuseActive = true}) {}
};

TEST_F(ActiveRefusingListingTest, ListingWithoutADataConnectionIsAFailureNotAnEmptyFolder) {
    m_account.folder = QStringLiteral("pub");
    const FolderListingResult result = list();
    EXPECT_EQ(result.outcome, FolderListingResult::Outcome::ListingFailed);
    EXPECT_TRUE(result.urls.isEmpty());
    EXPECT_TRUE(waitUntil([this] { return m_server.openConnections() == 0; }));
}

TEST_F(FolderListingTest, ListingBeyondTheBoundKeepsOnlyTheWholeNamesBeforeIt) {
    CurlFtpClient bounded(FtpLimits{.maxListingBytes = 100});
    QStringList all;
    for (int i = 10; i < 60; ++i) {
        const QString name = QStringLiteral("p%1.jpg").arg(i);
        ASSERT_TRUE(m_server.writeFile(QStringLiteral("many/") + name, "x"));
        all.append(url(QStringLiteral("/many/") + name));
    }
    m_account.folder = QStringLiteral("many");
    const FolderListingResult result = FolderListingJob::run(bounded, m_account);
    EXPECT_EQ(result.outcome, FolderListingResult::Outcome::Listed);
    // 100 bytes hold 11 or 12 names of 7 bytes, by the line ends the server sends; the name
    // cut at the bound is not among them.
    EXPECT_GE(result.urls.size(), 11);
    EXPECT_LE(result.urls.size(), 12);
    EXPECT_EQ(result.urls, all.mid(0, result.urls.size()));
    EXPECT_TRUE(result.cut);
}

class SilentListingTest : public FolderListingTest {
protected:
    SilentListingTest() : FolderListingTest({.silent = true}) {}
};

TEST_F(SilentListingTest, AbortedOrDestroyedJobEndsPromptlyAndDeliversNothing) {
    ensureQtApplication();
    bool delivered = false;
    {
        FolderListingJob job(std::make_shared<CurlFtpClient>());
        QObject::connect(&job, &FolderListingJob::finished, [&] { delivered = true; });
        ASSERT_TRUE(job.start(m_account));
        job.abort();
        EXPECT_TRUE(waitUntil([&] { return !job.isRunning(); }));

        // Destroyed while a listing runs: the destructor aborts it rather than waiting out the
        // server's silence.
        ASSERT_TRUE(job.start(m_account));
    }
    {
        // An owned listing whose owner goes first.
        QObject owner;
        FolderListingJob::listFolder(std::make_shared<CurlFtpClient>(), m_account, &owner,
                                     [&](const FolderListingResult&) { delivered = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

TEST(FolderListingUrls, AddressIsServerDirectoryAndNameAndAnyMarkInItAccepts) {
    using FolderListing::entryUrl;
    EXPECT_EQ(entryUrl("S", "/pub/pics", "sunset.jpg"), "ftp://S/pub/pics/sunset.jpg");
    EXPECT_EQ(entryUrl("S", "/", "a.jpg"), "ftp://S/a.jpg");
    EXPECT_EQ(entryUrl("S", "/C:\\pics\\", "a.jpg"), "ftp://S/C:\\pics\\a.jpg");
    EXPECT_EQ(entryUrl("S:2121", "", "a.jpg"), "ftp://S:2121/a.jpg");
    const QStringList names = {"a.jpg", "b.txt", "pics",  "e.TIFF", "f.tga.bak",
                               "g.pcx", "h.jpe", "i.Png", "j.heic", "k.avif.x"};
    EXPECT_EQ(FolderListing::pictureUrls("host", "/p", names),
              QStringList({"ftp://host/p/a.jpg", "ftp://host/p/e.TIFF", "ftp://host/p/f.tga.bak",
                           "ftp://host/p/g.pcx"}));
    // Every picture type adds PNG, WebP, HEIF and AVIF, but no ".JPE".
    EXPECT_EQ(FolderListing::pictureUrls("host", "/p", names, true),
              QStringList({"ftp://host/p/a.jpg", "ftp://host/p/e.TIFF", "ftp://host/p/f.tga.bak",
                           "ftp://host/p/g.pcx", "ftp://host/p/i.Png", "ftp://host/p/j.heic",
                           "ftp://host/p/k.avif.x"}));
    // A mark in the server or the folder name accepts every entry, folders included.
    EXPECT_EQ(FolderListing::pictureUrls("pics.Gif.example", "/", names).size(), names.size());
    EXPECT_EQ(FolderListing::pictureUrls("host", "/old.BMP.files", names).size(), names.size());

    // A server field with its own scheme starts the address as typed.
    EXPECT_EQ(entryUrl("sftp://nas:2222", "/home/me", "a.jpg"), "sftp://nas:2222/home/me/a.jpg");
    EXPECT_EQ(entryUrl("FTPS://nas", "/", "a.jpg"), "FTPS://nas/a.jpg");
}

TEST(FolderListingUrls, EntriesWithAnotherSchemeThanFtpAreDownloadedWhole) {
    using FolderListing::downloadTarget;
    EXPECT_EQ(downloadTarget("ftp://S/pub/Sea.GIF"), "Sea.GIF");
    EXPECT_EQ(downloadTarget("bare.jpg"), "bare.jpg");
    EXPECT_EQ(downloadTarget("https://h/p/a.jpg"), "https://h/p/a.jpg");
    EXPECT_EQ(downloadTarget("SFTP://h/p/a.jpg"), "SFTP://h/p/a.jpg");
    EXPECT_EQ(downloadTarget("gopher://h/p/a.jpg"), "a.jpg");
}

TEST(FolderListingUrls, AddressesThatDoNotFitAnEntryAreSkippedNotCut) {
    const QString prefix = QStringLiteral("ftp://h/"); // 8 bytes with the root directory
    const QString fits = QString(FolderListing::kMaxUrlBytes - 8 - 4, QLatin1Char('a')) + ".jpg";
    const QString tooLong = QLatin1Char('b') + fits;
    // Two bytes per character in UTF-8: fits by characters, not by bytes.
    const QString wide = QString(300, QChar(0x00e9)) + ".jpg";
    const QStringList urls = FolderListing::pictureUrls("h", "/", {tooLong, fits, wide, "c.gif"});
    EXPECT_EQ(urls, QStringList({prefix + fits, prefix + "c.gif"}));
    EXPECT_EQ(urls.first().toUtf8().size(), FolderListing::kMaxUrlBytes);
}

} // namespace
