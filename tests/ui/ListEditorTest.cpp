#include "tests/ui/PropertiesDialogFixture.h"

#include <QMimeData>
#include <QUrl>

namespace T = PropertiesDialogTemplate;

namespace {

class ListEditorTest : public PropertiesDialogFixture {
protected:
    PropertiesDialog& openWithFiles(const QStringList& list) {
        setFiles(list);
        WallpaperSettings s = baseSettings();
        s.UseFileList = 1;
        return open(s);
    }

    static void drop(FileDropList* view, const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(p.startsWith(u'/') ? QUrl::fromLocalFile(p) : QUrl(p));
        mime.setUrls(urls);
        // What the view's drop handler is given; a drag session cannot be driven offscreen.
        view->takeDrop(&mime);
    }
};

const QStringList kFive{QStringLiteral("/p/0.jpg"), QStringLiteral("/p/1.jpg"),
                        QStringLiteral("/p/2.jpg"), QStringLiteral("/p/3.jpg"),
                        QStringLiteral("/p/4.jpg")};

TEST_F(ListEditorTest, FillShowsBothListsRowForRow) {
    setUrls({QStringLiteral("ftp://s/a.jpg")});
    PropertiesDialog& dialog = openWithFiles(kFive);
    EXPECT_EQ(rows(dialog.fileListView()), kFive);
    EXPECT_EQ(rows(dialog.urlListView()), urls());
    EXPECT_EQ(dialog.fileListView()->headerItem()->text(0), QStringLiteral("File paths"));
    EXPECT_EQ(dialog.urlListView()->headerItem()->text(0), QStringLiteral("File URLs"));
}

TEST_F(ListEditorTest, DeleteKeepsTheLastEntryAndRemovesTheFocusedOne) {
    PropertiesDialog& dialog = openWithFiles({QStringLiteral("/a.jpg")});
    button(T::IdDelete)->click(); // nothing focused: nothing happens
    EXPECT_TRUE(m_messages.empty());
    dialog.fileListView()->focusRow(0);
    button(T::IdDelete)->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("Information"));
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Last file can not be removed"));
    EXPECT_EQ(files().size(), 1);

    setFiles({QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg")});
    dialog.fileListView()->clear();
    dialog.fileListView()->appendRow(QStringLiteral("/a.jpg"));
    dialog.fileListView()->appendRow(QStringLiteral("/b.jpg"));
    dialog.fileListView()->focusRow(0);
    button(T::IdDelete)->click();
    EXPECT_EQ(files(), QStringList{QStringLiteral("/b.jpg")});
    EXPECT_EQ(rows(dialog.fileListView()), files());

    // The URL list follows the same rule; Cancel undoes nothing.
    setUrls({QStringLiteral("ftp://s/x.gif")});
    dialog.urlListView()->appendRow(QStringLiteral("ftp://s/x.gif"));
    dialog.urlListView()->focusRow(0);
    button(T::IdDeleteUrl)->click();
    EXPECT_EQ(m_messages.back().text, QStringLiteral("Last file can not be removed"));
    button(T::IdCancel)->click();
    EXPECT_EQ(files(), QStringList{QStringLiteral("/b.jpg")});
}

TEST_F(ListEditorTest, MovesExchangeNeighboursAndTheFocusFollows) {
    PropertiesDialog& dialog = openWithFiles(kFive);
    FileDropList* view = dialog.fileListView();

    view->focusRow(3);
    button(T::IdMoveUp)->click();
    EXPECT_EQ(files()[2], QStringLiteral("/p/3.jpg"));
    EXPECT_EQ(files()[3], QStringLiteral("/p/2.jpg"));
    EXPECT_EQ(view->focusedRow(), 2);
    EXPECT_TRUE(view->topLevelItem(2)->isSelected());
    EXPECT_EQ(rows(view), files());

    view->focusRow(0);
    button(T::IdMoveUp)->click();
    view->focusRow(4);
    button(T::IdMoveDown)->click();
    EXPECT_EQ(files()[0], QStringLiteral("/p/0.jpg"));
    EXPECT_EQ(files()[4], QStringLiteral("/p/4.jpg"));

    setFiles({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    view->clear();
    for (const QString& t : files())
        view->appendRow(t);
    view->focusRow(0);
    button(T::IdMoveDown)->click();
    button(T::IdMoveDown)->click();
    EXPECT_EQ(files(),
              (QStringList{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a")}));
    EXPECT_EQ(view->focusedRow(), 2);
    EXPECT_EQ(rows(view), files());
}

TEST_F(ListEditorTest, UrlMovesTouchOnlyTheUrlList) {
    setUrls({QStringLiteral("ftp://s/1.jpg"), QStringLiteral("ftp://s/2.jpg")});
    PropertiesDialog& dialog = openWithFiles(kFive);
    dialog.urlListView()->focusRow(1);
    button(T::IdMoveUrlUp)->click();
    EXPECT_EQ(urls(),
              (QStringList{QStringLiteral("ftp://s/2.jpg"), QStringLiteral("ftp://s/1.jpg")}));
    EXPECT_EQ(files(), kFive);
    button(T::IdMoveUrlDown)->click();
    EXPECT_EQ(urls().first(), QStringLiteral("ftp://s/1.jpg"));
}

TEST_F(ListEditorTest, DropAppendsLocalPathsInOrderAndAddStartsInTheirFolder) {
    PropertiesDialog& dialog = openWithFiles({QStringLiteral("/p/a.jpg")});
    drop(dialog.fileListView(),
         {QStringLiteral("/photos/trip"), QStringLiteral("/photos/x.png"),
          QStringLiteral("https://remote/skip.jpg"), QStringLiteral("/p/a.jpg")});
    const QStringList expected{QStringLiteral("/p/a.jpg"), QStringLiteral("/photos/trip"),
                               QStringLiteral("/photos/x.png"), QStringLiteral("/p/a.jpg")};
    EXPECT_EQ(files(), expected);
    EXPECT_EQ(rows(dialog.fileListView()), expected);

    drop(dialog.urlListView(), {QStringLiteral("/photos/y.jpg")});
    EXPECT_EQ(files(), expected);
    EXPECT_TRUE(urls().isEmpty());

    drop(dialog.fileListView(), {QStringLiteral("/shots/z.jpg")});
    m_fileAnswers.push_back(QStringLiteral("/other/w.jpg"));
    button(T::IdAdd)->click();
    ASSERT_EQ(m_fileChooserStarts.size(), 1u);
    EXPECT_EQ(m_fileChooserStarts[0], QStringLiteral("/shots"));
    EXPECT_EQ(files().last(), QStringLiteral("/other/w.jpg"));
    EXPECT_EQ(dialog.lastAddFolder(), QStringLiteral("/other"));
    // Cancelled chooser: nothing changes.
    button(T::IdAdd)->click();
    EXPECT_EQ(files().size(), 6);
}

TEST_F(ListEditorTest, AddOffersTheTranslatedFiltersWithTheFirstPreselected) {
    openWithFiles({QStringLiteral("/p/a.jpg")});
    button(T::IdAdd)->click();
    ASSERT_EQ(m_lastFilters.size(), 7);
    EXPECT_EQ(m_lastFilters[0], QStringLiteral("Supported files(*.bmp;*.gif;*.jpg;*.tga;*.pcx;"
                                               "*.tif) (*.bmp *.gif *.jpg *.tga *.pcx *.tif)"));
    EXPECT_EQ(m_lastFilters[6], QStringLiteral("Tif Files(*.TIF) (*.TIF)"));

    // With every picture type ticked, a filter for all of them comes first.
    button(T::IdAllPictureTypes)->click();
    button(T::IdAdd)->click();
    ASSERT_EQ(m_lastFilters.size(), 8);
    EXPECT_TRUE(m_lastFilters[0].startsWith(QStringLiteral("All pictures(")));
    const QStringList patterns = m_lastFilters[0].section(u'(', -1).chopped(1).split(u' ');
    for (const char* type : {"*.png", "*.webp", "*.jpeg", "*.jpe", "*.jfif", "*.heic", "*.heif",
                             "*.avif", "*.jpg", "*.bmp", "*.gif", "*.tif", "*.pcx", "*.tga"})
        EXPECT_TRUE(patterns.contains(QLatin1String(type))) << type;
    EXPECT_EQ(m_lastFilters.mid(1).first(), QStringLiteral("Supported files(*.bmp;*.gif;*.jpg;"
                                                           "*.tga;*.pcx;*.tif) (*.bmp *.gif *.jpg "
                                                           "*.tga *.pcx *.tif)"));
}

TEST_F(ListEditorTest, APathThatDoesNotFitAnEntryIsRefusedWithAMessage) {
    PropertiesDialog& dialog = openWithFiles({QStringLiteral("/p/a.jpg")});
    const QString longPath = u'/' + QString(300, u'é') + QStringLiteral(".jpg"); // 605 bytes
    const QString fits = u'/' + QString(514, u'x');                              // 515 bytes
    drop(dialog.fileListView(), {longPath, fits});
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.contains(longPath));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("/p/a.jpg"), fits}));
    EXPECT_EQ(rows(dialog.fileListView()), files());
}

TEST_F(ListEditorTest, ShowNowSetsThePositionAndAsksForAChange) {
    setUrls({QStringLiteral("ftp://s/1.jpg"), QStringLiteral("ftp://s/2.jpg")});
    PropertiesDialog& dialog = openWithFiles(kFive);
    button(T::IdShowNow)->click();
    EXPECT_EQ(m_changeNowCount, 0);

    dialog.fileListView()->focusRow(4);
    button(T::IdShowNow)->click();
    EXPECT_EQ(m_state.settings().CurFileListPos, 4);
    EXPECT_EQ(m_changeNowCount, 1);

    dialog.fileListView()->focusRow(2);
    emit dialog.fileListView()->itemAreaDoubleClicked();
    EXPECT_EQ(m_state.settings().CurFileListPos, 2);
    EXPECT_EQ(m_changeNowCount, 2);

    dialog.urlListView()->focusRow(1);
    button(T::IdShowUrlNow)->click();
    EXPECT_EQ(m_state.settings().CurURLListPos, 1);
    EXPECT_EQ(m_state.settings().CurFileListPos, 2);
    EXPECT_EQ(m_changeNowCount, 3);
}

class GetListTest : public PropertiesDialogFixture {
protected:
    GetListTest() {
        m_listFolder = [this](const FtpAccount& account, bool, PropertiesDialog::ListingDone done) {
            m_accounts.push_back(account);
            m_pending = std::move(done);
        };
    }
    PropertiesDialog& openFtp(const QString& folder) {
        WallpaperSettings s = baseSettings();
        s.UseFileList = 2;
        s.FtpFolder = folder;
        s.FtpLogin = QStringLiteral("user");
        s.FtpPassword = QStringLiteral("pw");
        return open(s);
    }
    void finish(FolderListingResult::Outcome outcome, const QStringList& found = {}) {
        ASSERT_TRUE(m_pending);
        auto done = std::move(m_pending);
        m_pending = nullptr;
        done(FolderListingResult{outcome, QStringLiteral("/pub"), found});
    }

    std::vector<FtpAccount> m_accounts;
    PropertiesDialog::ListingDone m_pending;
};

TEST_F(GetListTest, ListedFolderReplacesBothListsAndSetsTheTitle) {
    setUrls({QStringLiteral("ftp://old/x.jpg")});
    PropertiesDialog& dialog = openFtp(QStringLiteral("pub"));
    edit(T::IdFtpServer)->setText(QStringLiteral("typed.example"));
    const QStringList found{QStringLiteral("ftp://typed.example/pub/a.jpg"),
                            QStringLiteral("ftp://typed.example/pub/c.Jpeg")};
    for (int round = 0; round < 2; ++round) {
        button(T::IdGetList)->click();
        EXPECT_FALSE(dialog.control(T::IdGetList)->isEnabled());
        button(T::IdGetList)->click(); // ignored while running
        ASSERT_EQ(m_accounts.size(), static_cast<std::size_t>(round + 1));
        finish(FolderListingResult::Outcome::Listed, found);
        EXPECT_TRUE(dialog.control(T::IdGetList)->isEnabled());
        EXPECT_EQ(urls(), found);
        EXPECT_EQ(rows(dialog.urlListView()), found);
    }
    EXPECT_EQ(m_accounts[0].server, QStringLiteral("typed.example"));
    EXPECT_EQ(m_accounts[0].login, QStringLiteral("user"));
    EXPECT_EQ(m_accounts[0].password, QStringLiteral("pw"));
    EXPECT_EQ(m_accounts[0].folder, QStringLiteral("pub"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ftp://typed.example/pub"));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(GetListTest, FailuresKeepTheListsShowTheirMessagesAndReenableTheButton) {
    const QStringList before{QStringLiteral("ftp://old/x.jpg")};
    setUrls(before);
    PropertiesDialog& dialog = openFtp(QStringLiteral("nowhere"));

    button(T::IdGetList)->click();
    finish(FolderListingResult::Outcome::SessionFailed);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("Fatal error"));
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Can not create Internet session"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tessaron Properties"));
    EXPECT_TRUE(dialog.control(T::IdGetList)->isEnabled());

    button(T::IdGetList)->click();
    finish(FolderListingResult::Outcome::FolderNotFound);
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].caption, QStringLiteral("Warning"));
    EXPECT_EQ(m_messages[1].text, QStringLiteral("The folder can not found on  FTP server"));
    EXPECT_EQ(m_messages[1].icon, QMessageBox::Warning);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ftp://ftp.example"));
    EXPECT_TRUE(dialog.control(T::IdGetList)->isEnabled());
    EXPECT_EQ(urls(), before);
    EXPECT_EQ(rows(dialog.urlListView()), before);

    // An empty folder empties both lists without a message; the title ends in "/".
    edit(T::IdFtpFolder)->clear();
    button(T::IdGetList)->click();
    finish(FolderListingResult::Outcome::Listed);
    EXPECT_TRUE(urls().isEmpty());
    EXPECT_EQ(dialog.urlListView()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ftp://ftp.example/"));
    EXPECT_EQ(m_messages.size(), 2u);
}

TEST_F(GetListTest, AListingThatEndsAfterTheDialogStillReplacesTheLiveList) {
    openFtp(QString());
    button(T::IdGetList)->click();
    m_dialog.reset();
    finish(FolderListingResult::Outcome::Listed, {QStringLiteral("ftp://s/late.gif")});
    EXPECT_EQ(urls(), QStringList{QStringLiteral("ftp://s/late.gif")});
}

TEST_F(GetListTest, WithoutAListerTheSessionMessageShows) {
    m_listFolder = nullptr;
    PropertiesDialog& dialog = openFtp(QString());
    button(T::IdGetList)->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Can not create Internet session"));
    EXPECT_TRUE(dialog.control(T::IdGetList)->isEnabled());
}

} // namespace
