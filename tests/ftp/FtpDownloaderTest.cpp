// Downloads against a real FTP server (pyftpdlib on 127.0.0.1).
#include "ftp/FtpDownloader.h"
#include "tests/ftp/PrintQt.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/Waiting.h"
#include "transport/CurlFtpClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool anyCommandStartsWith(const QStringList& commands, const QString& prefix) {
    for (const QString& command : commands)
        if (command.startsWith(prefix))
            return true;
    return false;
}

// A port on 127.0.0.1 that nobody listens on: a free one, taken and given back.
quint16 closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Short bounds so that tests of dead or silent servers end quickly.
FtpLimits shortLimits() {
    using std::chrono::milliseconds;
    return {.connectTimeout = milliseconds(2000),
            .responseTimeout = milliseconds(2000),
            .acceptTimeout = milliseconds(2000)};
}

class FtpDownloaderTest : public ::testing::Test {
protected:
    explicit FtpDownloaderTest(const FtpTestServer::Options& options = {},
                               const FtpLimits& limits = {})
        : m_server(options),
          m_client(std::make_shared<CurlFtpClient>(limits)), m_account{m_server.server(),
                                                                       m_server.user(),
                                                                       m_server.password(),
                                                                       QString()},
          m_downloader(
              m_client, [this] { return m_account; }, tempDir()) {}

    void SetUp() override { ASSERT_TRUE(m_server.isRunning()); }

    QString tempDir() const { return m_home.filePath(QStringLiteral("run/tessaron")); }

    // Every failure leaves no file behind and no session open, on our side or the server's.
    void expectCleanFailure(const QString& remoteName, FtpStatus status) {
        EXPECT_EQ(m_downloader.DownloadFtpFile(remoteName), QString());
        EXPECT_EQ(m_downloader.lastStatus(), status);
        EXPECT_FALSE(m_downloader.hasOpenSession());
        EXPECT_FALSE(QFileInfo::exists(FtpDownloader::localPathFor(tempDir(), remoteName)));
        EXPECT_TRUE(waitUntil([this] { return m_server.openConnections() == 0; }));
    }

    QTemporaryDir m_home;
    FtpTestServer m_server;
    std::shared_ptr<CurlFtpClient> m_client;
    FtpAccount m_account;
    FtpDownloader m_downloader;
};

TEST_F(FtpDownloaderTest, LocalNameIsFixedPerExtensionAndReplacedByTheNextDownload) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("pics/a.b.jpg"), "first picture"));
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("pics/sea.jpg"), "second"));
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("pics/README"), "no dot"));
    m_account.folder = QStringLiteral("pics");

    const QString first = m_downloader.DownloadFtpFile(QStringLiteral("a.b.jpg"));
    EXPECT_EQ(first, tempDir() + QStringLiteral("/wp400.jpg"));
    EXPECT_EQ(readAll(first), "first picture");

    // The second .jpg reuses the path; a shorter file leaves nothing of the longer one.
    EXPECT_EQ(m_downloader.DownloadFtpFile(QStringLiteral("sea.jpg")), first);
    EXPECT_EQ(readAll(first), "second");

    const QString whole = m_downloader.DownloadFtpFile(QStringLiteral("README"));
    EXPECT_EQ(whole, tempDir() + QStringLiteral("/wp400README"));
    EXPECT_EQ(readAll(whole), "no dot");

    // The folder is the user's alone.
    EXPECT_EQ(QFileInfo(tempDir()).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFileDevice::Permissions());
    EXPECT_FALSE(m_downloader.hasOpenSession());
    EXPECT_TRUE(waitUntil([this] { return m_server.openConnections() == 0; }));
}

TEST_F(FtpDownloaderTest, EmptyFolderFetchesFromTheLoginFolderWithoutChangingFolder) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("top.gif"), "GIF89a"));
    const QString path = m_downloader.DownloadFtpFile(QStringLiteral("top.gif"));
    EXPECT_EQ(readAll(path), "GIF89a");
    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("CWD")))
        << m_server.commands().join(QLatin1Char('|')).toStdString();
}

// Also shows that the account is read at every call.
TEST_F(FtpDownloaderTest, FolderIsSentExactlyAsTypedAbsoluteOrRelative) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("pub/pics/x.jpg"), "deep"));

    m_account.folder = QStringLiteral("/pub/pics");
    EXPECT_EQ(readAll(m_downloader.DownloadFtpFile(QStringLiteral("x.jpg"))), "deep");
    EXPECT_TRUE(m_server.commands().contains(QStringLiteral("CWD /pub/pics")));

    m_server.clearLog();
    m_account.folder = QStringLiteral("pub/pics");
    EXPECT_EQ(readAll(m_downloader.DownloadFtpFile(QStringLiteral("x.jpg"))), "deep");
    EXPECT_TRUE(m_server.commands().contains(QStringLiteral("CWD pub/pics")));
}

TEST_F(FtpDownloaderTest, EveryFailureGivesAnEmptyPathAndLeavesNothingOpen) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("pics/a.jpg"), "picture"));
    m_account.folder = QStringLiteral("pics");

    // A missing file: the earlier copy of that extension goes too, so nothing stale is shown.
    ASSERT_FALSE(m_downloader.DownloadFtpFile(QStringLiteral("a.jpg")).isEmpty());
    expectCleanFailure(QStringLiteral("missing.jpg"), FtpStatus::TransferFailed);

    m_account.folder = QStringLiteral("no-such-folder");
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::FolderNotFound);

    m_account.folder = QStringLiteral("pics");
    m_account.password = QStringLiteral("wrong");
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::SessionFailed);
}

TEST_F(FtpDownloaderTest, UnreachableServersFail) {
    m_account.server = QStringLiteral("127.0.0.1:%1").arg(closedPort());
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::SessionFailed);

    m_account.server = QStringLiteral("no-such-host.invalid");
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::SessionFailed);
}

TEST_F(FtpDownloaderTest, ServerTextThatIsNoHostOrPortIsRefusedWithoutConnecting) {
    const QString port = QString::number(m_server.port());
    for (const QString& server :
         {QStringLiteral("127.0.0.1:"), QStringLiteral("127.0.0.1:0"),
          QStringLiteral("127.0.0.1:70000"), QStringLiteral("127.0.0.1:+21"),
          QStringLiteral("someone@127.0.0.1:") + port, QStringLiteral("127.0.0.1:") + port + "/x",
          QStringLiteral(" 127.0.0.1:") + port, QStringLiteral("[::1"), QString()}) {
        m_account.server = server;
        EXPECT_EQ(m_downloader.DownloadFtpFile(QStringLiteral("a.jpg")), QString())
            << server.toStdString();
        EXPECT_EQ(m_downloader.lastStatus(), FtpStatus::SessionFailed) << server.toStdString();
    }
    EXPECT_TRUE(m_server.commands().isEmpty());
}

TEST_F(FtpDownloaderTest, ControlCharactersNeverReachTheServer) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("pics/a.jpg"), "keep me"));

    m_account.folder = QStringLiteral("pics\r\nDELE a.jpg");
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::FolderNotFound);

    m_account.folder = QStringLiteral("pics");
    m_account.login = m_server.user() + QStringLiteral("\r\nDELE pics/a.jpg");
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::SessionFailed);

    m_account.login = m_server.user();
    m_account.password = m_server.password() + QStringLiteral("\nDELE pics/a.jpg");
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::SessionFailed);

    m_account.password = m_server.password();
    expectCleanFailure(QStringLiteral("a.jpg\r\nDELE a.jpg"), FtpStatus::TransferFailed);

    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("DELE")));
    EXPECT_TRUE(QFileInfo::exists(m_server.root() + QStringLiteral("/pics/a.jpg")));
}

TEST_F(FtpDownloaderTest, LocalCopyNeverLandsOutsideThePrivateFolder) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("a.jpg"), "picture"));
    // An empty name would list the folder; a path would put the copy elsewhere (".jpg/../x").
    for (const QString& name :
         {QString(), QStringLiteral("sub/a.jpg"), QStringLiteral("a.jpg/../../../escape")})
        EXPECT_EQ(m_downloader.DownloadFtpFile(name), QString()) << name.toStdString();
    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("RETR")));

    // A link planted where the private folder should be is not followed.
    ASSERT_TRUE(QDir().mkpath(m_home.filePath(QStringLiteral("run"))));
    ASSERT_TRUE(QDir().mkpath(m_home.filePath(QStringLiteral("elsewhere"))));
    ASSERT_TRUE(QFile::link(m_home.filePath(QStringLiteral("elsewhere")), tempDir()));
    EXPECT_EQ(m_downloader.DownloadFtpFile(QStringLiteral("a.jpg")), QString());
    EXPECT_FALSE(QFileInfo::exists(m_home.filePath(QStringLiteral("elsewhere/wp400.jpg"))));

    // Nor is a link planted in its place: the download replaces the link, not its target.
    ASSERT_TRUE(QFile::remove(tempDir()));
    ASSERT_TRUE(QDir().mkpath(tempDir()));
    const QString target = m_home.filePath(QStringLiteral("elsewhere/precious"));
    ASSERT_TRUE(QFile(target).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(target, tempDir() + QStringLiteral("/wp400.jpg")));
    const QString path = m_downloader.DownloadFtpFile(QStringLiteral("a.jpg"));
    EXPECT_EQ(readAll(path), "picture");
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(readAll(target), QByteArray());
    EXPECT_EQ(QDir(tempDir()).entryList(QDir::Files | QDir::System),
              QStringList({QStringLiteral("wp400.jpg")}));
}

class PassiveRefusingServerTest : public FtpDownloaderTest {
protected:
    PassiveRefusingServerTest() : FtpDownloaderTest({.refusePassive = true}) {}
};

TEST_F(PassiveRefusingServerTest, DataConnectionsAreActive) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("a.jpg"), QByteArray(100000, 'x')));
    EXPECT_EQ(readAll(m_downloader.DownloadFtpFile(QStringLiteral("a.jpg"))),
              QByteArray(100000, 'x'));
    const QStringList commands = m_server.commands();
    EXPECT_TRUE(anyCommandStartsWith(commands, QStringLiteral("EPRT")) ||
                anyCommandStartsWith(commands, QStringLiteral("PORT")));
    EXPECT_FALSE(anyCommandStartsWith(commands, QStringLiteral("PASV")) ||
                 anyCommandStartsWith(commands, QStringLiteral("EPSV")));
    // Pictures are fetched byte for byte.
    EXPECT_TRUE(commands.contains(QStringLiteral("TYPE I")));
}

TEST_F(PassiveRefusingServerTest, NoDataConnectionFailsTheDownload) {
    FtpTestServer refusing({.refuseActive = true});
    ASSERT_TRUE(refusing.writeFile(QStringLiteral("a.jpg"), "picture"));
    m_account = {refusing.server(), refusing.user(), refusing.password(), QString()};
    expectCleanFailure(QStringLiteral("a.jpg"), FtpStatus::TransferFailed);
    EXPECT_TRUE(waitUntil([&] { return refusing.openConnections() == 0; }));
}

class SizeBoundTest : public FtpDownloaderTest {
protected:
    SizeBoundTest() : FtpDownloaderTest({}, FtpLimits{.maxDownloadBytes = 4096}) {}
};

TEST_F(SizeBoundTest, DownloadBeyondTheSizeBoundIsAbandonedAndRemoved) {
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("fits.jpg"), QByteArray(4096, 'a')));
    ASSERT_TRUE(m_server.writeFile(QStringLiteral("huge.bmp"), QByteArray(4097, 'b')));
    EXPECT_EQ(readAll(m_downloader.DownloadFtpFile(QStringLiteral("fits.jpg"))).size(), 4096);
    m_server.clearLog();
    expectCleanFailure(QStringLiteral("huge.bmp"), FtpStatus::TransferFailed);
    // The size the server announces is enough: nothing of the file is fetched.
    EXPECT_TRUE(m_server.commands().contains(QStringLiteral("SIZE huge.bmp")));
    EXPECT_FALSE(anyCommandStartsWith(m_server.commands(), QStringLiteral("RETR")));
}

class SilentServerTest : public FtpDownloaderTest {
protected:
    explicit SilentServerTest(const FtpLimits& limits = shortLimits())
        : FtpDownloaderTest({.silent = true}, limits) {}
};

TEST_F(SilentServerTest, ServerThatNeverAnswersEndsWithinTheBound) {
    EXPECT_EQ(m_downloader.DownloadFtpFile(QStringLiteral("a.jpg")), QString());
    EXPECT_EQ(m_downloader.lastStatus(), FtpStatus::SessionFailed);
    EXPECT_FALSE(m_downloader.hasOpenSession());
}

class AbortTest : public SilentServerTest {
protected:
    // Bounds far longer than the test may take: only the abort can end the download.
    AbortTest() : SilentServerTest(FtpLimits{}) {}
};

TEST_F(AbortTest, AbortEndsTheDownloadInProgressOnly) {
    std::atomic<bool> downloading = false;
    FtpDownloader downloader(
        m_client, [this] { return m_account; }, tempDir(),
        [&downloading] {
            downloading = true;
            return false;
        });
    QString result = QStringLiteral("unset");
    std::thread worker([&] { result = downloader.DownloadFtpFile(QStringLiteral("a.jpg")); });
    EXPECT_TRUE(waitUntil([&] { return downloading.load(); }));
    downloader.abort();
    worker.join();
    EXPECT_EQ(result, QString());
    EXPECT_EQ(downloader.lastStatus(), FtpStatus::Aborted);

    // The next download is unaffected.
    FtpTestServer answering;
    ASSERT_TRUE(answering.writeFile(QStringLiteral("a.jpg"), "picture"));
    m_account = {answering.server(), answering.user(), answering.password(), QString()};
    EXPECT_EQ(readAll(downloader.DownloadFtpFile(QStringLiteral("a.jpg"))), "picture");
}

} // namespace
