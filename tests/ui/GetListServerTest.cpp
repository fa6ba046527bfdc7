#include "resources/AppTexts.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/WebTestServer.h"
#include "tests/ui/PropertiesDialogFixture.h"
#include "transport/CurlFtpClient.h"
#include "ui/DialogRunner.h"

#include <QLabel>

namespace T = PropertiesDialogTemplate;

namespace {

// "Get list" through the program's own listing job against a real FTP server.
class GetListServerTest : public PropertiesDialogFixture {
protected:
    GetListServerTest() {
        m_listFolder = m_runner.listFolder();
        m_server.makeDir(QStringLiteral("pub/pics"));
        for (const char* name : {"a.jpg", "b.txt", "c.Jpeg", "d.gif.txt", "e.png"})
            m_server.writeFile(QStringLiteral("pub/") + QString::fromLatin1(name), "x");
    }

    PropertiesDialog& openFor(const QString& password, const QString& folder) {
        WallpaperSettings s = baseSettings();
        s.UseFileList = 2;
        s.FtpServer = m_server.server();
        s.FtpLogin = m_server.user();
        s.FtpPassword = password;
        s.FtpFolder = folder;
        return open(s);
    }

    bool runGetList(PropertiesDialog& dialog) {
        button(T::IdGetList)->click();
        EXPECT_FALSE(dialog.control(T::IdGetList)->isEnabled());
        return waitUntil([&] { return !dialog.getListRunning(); });
    }

    FtpTestServer m_server;
    DialogRunner m_runner{{.state = m_state,
                           .appName = QStringLiteral("tessaron"),
                           .ftp = std::make_shared<CurlFtpClient>()}};
};

TEST_F(GetListServerTest, ListsThePicturesOfTheFolderOnceEvenWhenRunTwice) {
    ASSERT_TRUE(m_server.isRunning());
    setUrls({QStringLiteral("ftp://old/x.jpg")});
    PropertiesDialog& dialog = openFor(m_server.password(), QStringLiteral("pub"));
    const QString base = QStringLiteral("ftp://") + m_server.server() + QStringLiteral("/pub/");
    const QStringList expected{base + QStringLiteral("a.jpg"), base + QStringLiteral("c.Jpeg"),
                               base + QStringLiteral("d.gif.txt")};
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(runGetList(dialog));
        EXPECT_EQ(urls(), expected);
        EXPECT_EQ(rows(dialog.urlListView()), expected);
        EXPECT_TRUE(dialog.control(T::IdGetList)->isEnabled());
    }
    EXPECT_EQ(dialog.windowTitle(),
              QStringLiteral("ftp://") + m_server.server() + QStringLiteral("/pub"));
    EXPECT_TRUE(m_messages.empty());

    // With every picture type on, the PNG is listed too.
    button(T::IdAllPictureTypes)->click();
    ASSERT_TRUE(runGetList(dialog));
    EXPECT_EQ(urls(), expected + QStringList{base + QStringLiteral("e.png")});
}

TEST_F(GetListServerTest, WrongFolderAndWrongPasswordKeepTheListAndSaySo) {
    ASSERT_TRUE(m_server.isRunning());
    const QStringList before{QStringLiteral("ftp://old/x.jpg")};
    setUrls(before);
    PropertiesDialog& dialog = openFor(m_server.password(), QStringLiteral("missing"));
    ASSERT_TRUE(runGetList(dialog));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("The folder can not found on  FTP server"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ftp://") + m_server.server());

    edit(T::IdFtpPassword)->setText(QStringLiteral("wrong"));
    edit(T::IdFtpFolder)->setText(QStringLiteral("pub"));
    ASSERT_TRUE(runGetList(dialog));
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].caption, QStringLiteral("Fatal error"));
    EXPECT_EQ(m_messages[1].text, QStringLiteral("Can not create Internet session"));
    EXPECT_EQ(urls(), before);
    EXPECT_EQ(rows(dialog.urlListView()), before);
    EXPECT_TRUE(dialog.control(T::IdGetList)->isEnabled());
}

TEST_F(GetListServerTest, ListingThatBreaksOffSaysSoAndKeepsTheList) {
    FtpTestServer refusing({.refuseActive = true});
    ASSERT_TRUE(refusing.writeFile(QStringLiteral("pub/a.jpg"), "x"));
    const QStringList before{QStringLiteral("ftp://old/x.jpg")};
    setUrls(before);
    PropertiesDialog& dialog = openFor(refusing.password(), QStringLiteral("pub"));
    edit(T::IdFtpServer)->setText(refusing.server());
    ASSERT_TRUE(runGetList(dialog));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("Fatal error"));
    EXPECT_EQ(m_messages[0].text, QString::fromLatin1(AppTexts::kListingFailed));
    EXPECT_EQ(urls(), before);
    EXPECT_EQ(rows(dialog.urlListView()), before);
}

TEST_F(GetListServerTest, AFolderOfMorePicturesThanAListCanTakeGivesItsFirstAndSaysSo) {
    WebTestServer web({});
    QByteArray index;
    for (int i = 0; i < 100002; ++i)
        index += "<a href=\"" + QByteArray::number(i) + ".jpg\">p</a>\n";
    ASSERT_TRUE(web.writeFile("pics/index.html", index));
    PropertiesDialog& dialog = openFor(QString(), QStringLiteral("pics"));
    edit(T::IdFtpServer)->setText(web.server());
    ASSERT_TRUE(runGetList(dialog));
    const QStringList listed = urls();
    ASSERT_EQ(listed.size(), 100000);
    EXPECT_EQ(listed.last(), web.server() + QStringLiteral("/pics/99999.jpg"));
    EXPECT_EQ(dialog.urlListView()->topLevelItemCount(), 100000);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(m_messages[0].text, QStringLiteral("The folder holds more pictures than a list can "
                                                 "take: only the first 100000 were listed"));
}

TEST_F(GetListServerTest, PasswordHintFollowsTheServersForm) {
    PropertiesDialog& dialog = openFor(m_server.password(), QString());
    const auto hint = [&] {
        return qobject_cast<QLabel*>(dialog.control(T::IdPasswordHint))->text();
    };
    EXPECT_EQ(hint(), QStringLiteral("Sent in clear"));
    for (const char* server : {"sftp://nas", "FTPS://nas:990", "https://pics.example"}) {
        edit(T::IdFtpServer)->setText(QString::fromLatin1(server));
        EXPECT_EQ(hint(), QStringLiteral("Sent encrypted")) << server;
    }
    edit(T::IdFtpServer)->setText(QStringLiteral("http://pics.example"));
    EXPECT_EQ(hint(), QStringLiteral("Sent in clear"));
}

} // namespace
