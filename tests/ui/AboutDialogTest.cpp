#include "ui/AboutDialog.h"
#include "resources/AboutDialogTemplate.h"
#include "tests/support/QtTestApp.h"
#include "ui/DialogRunner.h"
#include "ui/HyperlinkLabel.h"
#include "worker/SlideShowState.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

namespace A = AboutDialogTemplate;

namespace {

TEST(AboutDialogTest, VersionLineShowsThreeDecimals) {
    const QStringList lines = AboutDialog::versionText().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Tessaron version 2.300"));
    EXPECT_FALSE(lines[1].isEmpty());
}

TEST(AboutDialogTest, ButtonsAndPictureOpenTheirAddressesAndTheBoxStaysOpen) {
    ensureQtApplication();
    std::vector<QUrl> opened;
    AboutDialog dialog([&](const QUrl& url) { opened.push_back(url); });
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Tessaron"));
    EXPECT_EQ(qobject_cast<QLabel*>(dialog.control(A::IdVersion))->text(),
              AboutDialog::versionText());

    qobject_cast<QAbstractButton*>(dialog.control(A::IdWww))->click();
    qobject_cast<QAbstractButton*>(dialog.control(A::IdEmail))->click();
    HyperlinkLabel* link = dialog.linkPicture();
    // The click itself (synthetic mouse events leave Qt's default pointing device to be
    // destroyed after its registry at exit).
    link->activate();

    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], dialog.webAddress());
    EXPECT_EQ(opened[1].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[2], link->target());
    EXPECT_NE(opened[2], opened[0]);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}

TEST(AboutDialogTest, LinkPictureIsPaintedAtItsNaturalSizeFromTheTopLeft) {
    ensureQtApplication();
    HyperlinkLabel link(QPixmap(QStringLiteral(":/tessaron/bitmap-145.png")), QUrl());
    ASSERT_EQ(link.picture().size(), QSize(115, 41));
    const QImage expected = link.picture().toImage().convertToFormat(QImage::Format_RGB32);
    for (const QSize size : {QSize(200, 80), QSize(60, 20)}) {
        link.resize(size);
        const QImage shown = link.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), size);
        for (const QPoint p : {QPoint(0, 0), QPoint(20, 15), QPoint(59, 19)})
            EXPECT_EQ(shown.pixel(p), expected.pixel(p)) << size.width();
    }
}

TEST(DialogRunnerTest, CancellingFromOutsideEndsTheDialogAndItsOpenMessage) {
    ensureQtApplication();
    SlideShowState state;
    DialogRunner runner({.state = state, .appName = QStringLiteral("tessaron")});
    WallpaperSettings current;
    current.Minute = 75; // the first layout then shows a message box inside the dialog
    current.StartPath = QStringLiteral("/p");
    bool applied = false;
    // Ends the dialog once its own message box is up (a modal child of the dialog).
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll.stop();
            runner.cancelModalDialog();
        }
    });
    poll.start(10);
    const auto result =
        runner.runProperties(current, [&](const WallpaperSettings&) { applied = true; });
    EXPECT_FALSE(result);
    EXPECT_FALSE(applied);
}

} // namespace
