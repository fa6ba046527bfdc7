#include "app/PictureActions.h"
#include "app/ListFile.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/TempHome.h"
#include "worker/SlideShowState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class PictureActionsTest : public ::testing::Test {
protected:
    PictureActionsTest() {
        ensureQtApplication();
        ListFile::load(excludedPath());
        ListFile::load(fileListPath());
    }

    QString write(const QString& relative, const QByteArray& content) {
        const QString path = m_home.file(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }
    void show(const ShownPicture& picture) {
        m_state.modify([&](SlideShowState::Data& d) { d.history.record({picture}); });
    }
    QString excludedPath() const { return m_home.file(QStringLiteral("t_Never.txt")); }
    QString fileListPath() const { return m_home.file(QStringLiteral("t.txt")); }

    TempHome m_home;
    SlideShowState m_state;
    RecordingShell m_shell;
    int m_changes = 0;
    PictureActions m_actions{{.state = m_state,
                              .shell = m_shell,
                              .resolveShortcut = [](const QString& path) { return path; },
                              .fileListPath = fileListPath(),
                              .excludedListPath = excludedPath(),
                              .changeNow = [this] { ++m_changes; }}};
};

TEST_F(PictureActionsTest, FavouritesKeepEachPictureOnceAndTheTrashTakesItAndItsEntries) {
    EXPECT_EQ(m_actions.trash(), QStringLiteral("No picture has been shown yet."));
    const QString sea = write("Photos/sea.jpg", "sea");
    const QString other = write("Photos/other.jpg", "other");
    show({PictureKind::FileList, sea, {}, {}, {}, {}});

    // A hard link on the same file system; once only; another picture of that name is numbered.
    const QString favourites = m_home.file("Pictures/Tessaron Favourites");
    EXPECT_EQ(m_actions.favouritesFolder(), favourites);
    EXPECT_EQ(m_actions.favourite(), QString());
    EXPECT_EQ(m_actions.favourite(), QString());
    struct stat original {
    }, linked{};
    ::stat(QFile::encodeName(sea).constData(), &original);
    ::stat(QFile::encodeName(favourites + "/sea.jpg").constData(), &linked);
    EXPECT_EQ(original.st_ino, linked.st_ino);
    show({PictureKind::FolderWalk, write("Elsewhere/sea.jpg", "another sea"), {}, {}, {}, {}});
    EXPECT_EQ(m_actions.favourite(), QString());
    EXPECT_EQ(QDir(favourites).entryList(QDir::Files), (QStringList{"sea (2).jpg", "sea.jpg"}));

    // The trash: the file and its file-list entries go; the position keeps its entry.
    show({PictureKind::FileList, sea, {}, {}, {}, {}});
    m_state.modify([&](SlideShowState::Data& d) {
        for (const QString& entry : {sea, other, sea})
            d.fileList.push_back(*ListEntry::fromText(entry));
        d.settings.CurFileListPos = 2;
    });
    EXPECT_EQ(m_actions.trash(), QString());
    EXPECT_FALSE(QFile::exists(sea));
    EXPECT_TRUE(QFile::exists(m_home.file(".local/share/Trash/files/sea.jpg")));
    EXPECT_TRUE(QFile::exists(m_home.file(".local/share/Trash/info/sea.jpg.trashinfo")));
    EXPECT_EQ(ListFile::load(fileListPath()), m_state.fileList());
    ASSERT_EQ(m_state.fileList().size(), 1u);
    EXPECT_EQ(m_state.settings().CurFileListPos, 0);
    EXPECT_EQ(m_changes, 1);
    EXPECT_EQ(m_actions.trash(), "The picture is no longer there: " + sea);
    EXPECT_EQ(m_actions.open(), "The picture is no longer there: " + sea);
    // The favourite stays.
    EXPECT_TRUE(QFile::exists(favourites + "/sea.jpg"));
}

TEST_F(PictureActionsTest, AServersPictureIsNeverShownAgainAndGoingBackPassesOverWhatIsGone) {
    const QString gone = m_home.file("gone.jpg");
    show({PictureKind::FolderWalk, gone, {}, {}, {}, {}});
    const QString copy = write("run/shown-1.gif", "download");
    show({PictureKind::UrlList, "ftp://s/pub/Sea.gif", {}, copy, {}, {}});

    // The download is what opens; it has no folder and stays out of the trash.
    EXPECT_EQ(m_actions.open(), QString());
    EXPECT_EQ(m_shell.calls, QStringList{"open " + copy});
    EXPECT_TRUE(m_actions.showInFolder().startsWith("The picture is on a server"));
    EXPECT_TRUE(m_actions.trash().startsWith("The picture is on a server"));
    EXPECT_EQ(m_actions.favourite(), QString());
    EXPECT_TRUE(QFile::exists(m_home.file("Pictures/Tessaron Favourites/Sea.gif")));
    EXPECT_EQ(m_actions.previous(), QStringLiteral("There is no earlier picture to go back to."));

    EXPECT_EQ(m_actions.neverAgain(), QString());
    const EntryList saved = ListFile::load(excludedPath());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text(), QStringLiteral("ftp://s/pub/Sea.gif"));
    EXPECT_TRUE(m_state.read([](const SlideShowState::Data& d) {
        return d.isExcluded(QStringLiteral("ftp://s/pub/Sea.gif"));
    }));
    EXPECT_EQ(m_changes, 1);
    QFile::remove(copy);
    EXPECT_TRUE(m_actions.open().startsWith("The downloaded copy of this picture is gone"));
}

} // namespace
