// FTPS, SFTP and web folders against real servers on 127.0.0.1: pyftpdlib with TLS, a paramiko
// SFTP server and Python's http.server over TLS, trusting a certificate authority the test
// makes.
#include "ftp/FolderListingJob.h"
#include "ftp/FtpDownloader.h"
#include "tests/ftp/PrintQt.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/SftpTestServer.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/UnderWine.h"
#include "tests/support/Waiting.h"
#include "tests/support/WebTestServer.h"
#include "transport/CurlFtpClient.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using Outcome = FolderListingResult::Outcome;

QByteArray readAll(const QString& path) {
    if (path.isEmpty())
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool anyStartsWith(const QStringList& lines, const QString& prefix) {
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            return true;
    return false;
}

class SecureSourceTest : public ::testing::Test {
protected:
    QString download(const FtpAccount& account, const QString& nameOrUrl) {
        FtpDownloader downloader(
            m_client, [account] { return account; }, m_home.file("run"));
        return readAll(downloader.DownloadFtpFile(nameOrUrl));
    }

    TempHome m_home;
    TestCertificates m_certificates;
    ScopedEnvironment m_bundle{"TESSARON_CA_BUNDLE", m_certificates.authorityFile()};
    std::shared_ptr<CurlFtpClient> m_client = std::make_shared<CurlFtpClient>();
};

class FtpsTest : public SecureSourceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_certificates.isValid());
        ASSERT_TRUE(m_server.isRunning());
        for (const char* name : {"a.jpg", "b.txt", "c.GIF"})
            ASSERT_TRUE(m_server.writeFile(QStringLiteral("pub/") + QLatin1String(name), name));
    }

    FtpTestServer m_server{
        {.certificateFile = m_certificates.certificateFile(), .keyFile = m_certificates.keyFile()}};
    FtpAccount m_account{QStringLiteral("ftps://") + m_server.server(), m_server.user(),
                         m_server.password(), QStringLiteral("pub")};
};

TEST_F(FtpsTest, ListsAndDownloadsWithEverythingOverTls) {
    if (underWine())
        GTEST_SKIP() << "Wine's Schannel does not pass on the close_notify that ends each TLS data "
                        "connection, so libcurl takes every FTPS transfer there as cut off";
    const FolderListingResult result = FolderListingJob::run(*m_client, m_account);
    ASSERT_EQ(result.outcome, Outcome::Listed);
    const QString base = m_account.server + QStringLiteral("/pub/");
    EXPECT_EQ(result.urls, QStringList({base + "a.jpg", base + "c.GIF"}));
    // TLS is asked for before anything else, and for the data connections too.
    const QStringList commands = m_server.commands();
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(commands.first(), QStringLiteral("AUTH TLS"));
    EXPECT_TRUE(commands.contains(QStringLiteral("PROT P")));

    EXPECT_EQ(download(m_account, QStringLiteral("a.jpg")), "a.jpg");
    EXPECT_EQ(download(m_account, result.urls[1]), "c.GIF");
    EXPECT_TRUE(waitUntil([this] { return m_server.openConnections() == 0; }));
}

TEST_F(FtpsTest, UntrustedCertificateOrNoTlsIsRefusedBeforeTheLogin) {
    TestCertificates other;
    {
        ScopedEnvironment wrongAuthority("TESSARON_CA_BUNDLE", other.authorityFile());
        EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome,
                  Outcome::CertificateRejected);
        EXPECT_EQ(download(m_account, QStringLiteral("a.jpg")), QByteArray());
    }
    EXPECT_FALSE(anyStartsWith(m_server.commands(), QStringLiteral("USER")));

    FtpTestServer plain;
    ASSERT_TRUE(plain.writeFile(QStringLiteral("pub/a.jpg"), "x"));
    m_account.server = QStringLiteral("ftps://") + plain.server();
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::CertificateRejected);
    EXPECT_TRUE(plain.commands().contains(QStringLiteral("AUTH TLS")));
    EXPECT_FALSE(anyStartsWith(plain.commands(), QStringLiteral("USER")));
}

class SftpTest : public SecureSourceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.isRunning());
        for (const char* name : {"a.jpg", "b.txt", "c.Jpeg"})
            ASSERT_TRUE(m_server.writeFile(QStringLiteral("home/slides/pics/") + name, name));
        ASSERT_TRUE(m_server.writeFile(QStringLiteral("srv/shared/d.gif"), "d.gif"));
        trust(m_server.knownHostsLine());
    }

    void trust(const QString& line) {
        ASSERT_TRUE(QDir().mkpath(m_home.file(".ssh")));
        QFile knownHosts(m_home.file(".ssh/known_hosts"));
        ASSERT_TRUE(knownHosts.open(QIODevice::WriteOnly | QIODevice::Truncate));
        knownHosts.write(line.toUtf8() + '\n');
    }

    SftpTestServer m_server;
    FtpAccount m_account{m_server.server(), m_server.user(), m_server.password(),
                         QStringLiteral("pics")};
};

TEST_F(SftpTest, ListsInTheServersOrderAndDownloadsWithTheLogin) {
    const FolderListingResult relative = FolderListingJob::run(*m_client, m_account);
    ASSERT_EQ(relative.outcome, Outcome::Listed);
    const QString base = m_account.server + QStringLiteral("/home/slides/pics/");
    EXPECT_EQ(relative.urls, QStringList({base + "c.Jpeg", base + "a.jpg"}));

    m_account.folder = QStringLiteral("/srv/shared");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).urls,
              QStringList({m_account.server + QStringLiteral("/srv/shared/d.gif")}));
    EXPECT_EQ(download(m_account, QStringLiteral("d.gif")), "d.gif");
    EXPECT_EQ(download(m_account, relative.urls[0]), "c.Jpeg");
    EXPECT_TRUE(m_server.log().contains(QStringLiteral("OPEN /home/slides/pics/c.Jpeg")));

    m_account.folder = QStringLiteral("missing");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::FolderNotFound);
}

TEST_F(SftpTest, WrongPasswordAndUnknownChangedOrRevokedHostKeysAreRefused) {
    m_account.password = QStringLiteral("wrong");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::SessionFailed);
    EXPECT_TRUE(m_server.log().contains(QStringLiteral("LOGIN slides refused")));
    m_account.password = m_server.password();

    // No password is offered to a host that is not known, or whose key changed.
    QFile::remove(m_home.file(".ssh/known_hosts"));
    const qsizetype logins = m_server.log().size();
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::HostKeyUnknown);
    EXPECT_EQ(download(m_account, QStringLiteral("a.jpg")), QByteArray());

    SftpTestServer other;
    QString changed = other.knownHostsLine();
    changed.replace(QString::number(other.port()), QString::number(m_server.port()));
    trust(changed);
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::HostKeyMismatch);

    // A key marked revoked stays refused beside a line that trusts it, for any host pattern.
    const QString known = m_server.knownHostsLine();
    const QString key = known.section(QLatin1Char(' '), 1);
    trust(known + "\n@revoked * " + key);
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::HostKeyRevoked);
    trust(QStringLiteral("@revoked [127.0.0.1]:%1 ").arg(m_server.port()) + key + "\n" + known);
    EXPECT_EQ(download(m_account, QStringLiteral("a.jpg")), QByteArray());
    EXPECT_EQ(m_server.log().size(), logins);
}

class WebFolderTest : public SecureSourceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_certificates.isValid());
        ASSERT_TRUE(m_server.isRunning());
    }

    WebTestServer m_server{{.certificateFile = m_certificates.certificateFile(),
                            .keyFile = m_certificates.keyFile(),
                            .user = QStringLiteral("slides"),
                            .password = QStringLiteral("s3cret pass")}};
    FtpAccount m_account{m_server.server(), QStringLiteral("slides"), QStringLiteral("s3cret pass"),
                         QStringLiteral("pics")};
};

TEST_F(WebFolderTest, IndexLinksToPicturesResolvedInPageOrderOnce) {
    const QString other = QStringLiteral("https://localhost:%1").arg(m_server.port());
    ASSERT_TRUE(m_server.writeFile(
        "pics/index.html",
        ("<html><body><p>Pictures<ul><li><a href=\"a.jpg\">a</a>"
         "<li><A HREF='sub/b%20c.GIF'>b</A><li><a href=\"/top/c.jpeg\">c</a>"
         "<li><a href=\"" +
         other +
         "/x/d.bmp\">d</a><li><a href=\"a.jpg\">again</a>"
         "<li><a href=\"notes.txt\">notes</a><li><a href=\"../up.tif#frame\">up</a>"
         "<li><a href=\"mailto:me@pics.jpg\">mail</a><li><a name=\"e.pcx\">no link</a>"
         "<table><tr><td><a href=\"f.tga\">unclosed</table>")
            .toUtf8()));
    const FolderListingResult result = FolderListingJob::run(*m_client, m_account);
    ASSERT_EQ(result.outcome, Outcome::Listed);
    const QString root = m_server.server();
    EXPECT_EQ(result.urls,
              QStringList({root + "/pics/a.jpg", root + "/pics/sub/b%20c.GIF", root + "/top/c.jpeg",
                           other + "/x/d.bmp", root + "/up.tif", root + "/pics/f.tga"}));

    // Past a raw zero byte, and past nesting far deeper than the parser's own bound.
    ASSERT_TRUE(m_server.writeFile(
        "odd/index.html", "<a href=\"1.jpg\">1</a>" + QByteArray(1, '\0') +
                              "<a href=\"2.jpg\">2</a>" + QByteArray("<div>").repeated(3000) +
                              "<a href=\"3.jpg\">3</a>"));
    m_account.folder = QStringLiteral("odd");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).urls,
              QStringList({root + "/odd/1.jpg", root + "/odd/2.jpg", root + "/odd/3.jpg"}));

    // Python's own folder listing, without an index page.
    ASSERT_TRUE(m_server.writeFile("plain/x.jpg", "x"));
    m_account.folder = QStringLiteral("/plain/");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).urls,
              QStringList({root + "/plain/x.jpg"}));

    m_account.folder = QStringLiteral("missing");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::FolderNotFound);
    m_account.password = QStringLiteral("wrong");
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::SessionFailed);
    TestCertificates untrusted;
    ScopedEnvironment wrongAuthority("TESSARON_CA_BUNDLE", untrusted.authorityFile());
    EXPECT_EQ(FolderListingJob::run(*m_client, m_account).outcome, Outcome::CertificateRejected);
}

TEST_F(WebFolderTest, TheLoginGoesOnlyToTheServersHost) {
    ASSERT_TRUE(m_server.writeFile("pics/a.jpg", "own"));
    WebTestServer open(
        {.certificateFile = m_certificates.certificateFile(), .keyFile = m_certificates.keyFile()});
    ASSERT_TRUE(open.writeFile("b.gif", "other"));

    EXPECT_EQ(download(m_account, QStringLiteral("a.jpg")), "own");
    EXPECT_EQ(download(m_account, m_server.server() + QStringLiteral("/pics/a.jpg")), "own");
    // Another port of the same host is another server, and so is the same machine under
    // another name.
    for (const char* host : {"127.0.0.1", "localhost"})
        EXPECT_EQ(
            download(m_account, QStringLiteral("https://%1:%2/b.gif").arg(host).arg(open.port())),
            "other");
    EXPECT_EQ(m_server.requests(), QStringList({"GET /pics/a.jpg slides:s3cret pass",
                                                "GET /pics/a.jpg slides:s3cret pass"}));
    EXPECT_EQ(open.requests(), QStringList({"GET /b.gif -", "GET /b.gif -"}));

    // The same scheme, host and port, the scheme's own port counting as given.
    EXPECT_TRUE(FtpDownloader::mayHaveLogin("https://Pics.example", "https://pics.EXAMPLE:443/a"));
    EXPECT_FALSE(
        FtpDownloader::mayHaveLogin("https://pics.example", "https://pics.example:8443/a"));
    EXPECT_FALSE(FtpDownloader::mayHaveLogin("https://pics.example", "http://pics.example/a"));
    EXPECT_FALSE(FtpDownloader::mayHaveLogin("pics.example", "ftps://pics.example/a"));
}

} // namespace
