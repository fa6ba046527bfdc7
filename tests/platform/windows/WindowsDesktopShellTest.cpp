// The Recycle Bin under Wine: a file either goes there or stays where it is, never deleted.
#include "platform/windows/WindowsDesktopShell.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(WindowsDesktopShellTest, MoveToTrashRecyclesOrLeavesTheFileAndSaysWhy) {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("picture.jpg"));
    QFile(picture).open(QIODevice::WriteOnly);
    WindowsDesktopShell shell;

    QString whyNot;
    const bool moved = shell.moveToTrash(picture, &whyNot);
    EXPECT_EQ(moved, !QFile::exists(picture));
    EXPECT_EQ(moved, whyNot.isEmpty()) << whyNot.toStdString();

    whyNot.clear();
    EXPECT_FALSE(shell.moveToTrash(dir.filePath(QStringLiteral("absent.jpg")), &whyNot));
    EXPECT_FALSE(whyNot.isEmpty());
}

} // namespace
