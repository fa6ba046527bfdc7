// Shortcut pictures under Wine's shell: followed to the end of a chain, and nothing for what
// cannot be followed.
#include "platform/windows/ShellLinkResolver.h"
#include "platform/windows/StartupShortcut.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>

namespace {

class ShellLinkResolverTest : public testing::Test {
protected:
    QString file(const QString& relative) const { return m_dir.filePath(relative); }
    void write(const QString& relative, const QByteArray& content = "picture") {
        QFile out(file(relative));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    // A shortcut in folder `folder` to `target`, made as the Startup shortcut is.
    QString shortcut(const QString& folder, const QString& target) {
        StartupShortcut maker(file(folder));
        maker.enable(target);
        return maker.shortcutPath();
    }

    QTemporaryDir m_dir;
    ShellLinkResolver m_resolver;
};

TEST_F(ShellLinkResolverTest, ChainsAreFollowedToTheFileOnAnyThread) {
    write(QStringLiteral("photo.jpg"));
    const QString direct = shortcut(QStringLiteral("a"), file(QStringLiteral("photo.jpg")));
    const QString chained = shortcut(QStringLiteral("b"), direct);
    EXPECT_EQ(m_resolver.resolveShortcut(direct), file(QStringLiteral("photo.jpg")));
    EXPECT_EQ(m_resolver.resolveShortcut(chained), file(QStringLiteral("photo.jpg")));
    // The worker thread has no apartment of its own.
    EXPECT_EQ(
        std::async(std::launch::async, [&] { return m_resolver.resolveShortcut(chained); }).get(),
        file(QStringLiteral("photo.jpg")));
}

TEST_F(ShellLinkResolverTest, WhatCannotBeFollowedGivesAnEmptyPath) {
    write(QStringLiteral("gone.jpg"));
    const QString broken = shortcut(QStringLiteral("broken"), file(QStringLiteral("gone.jpg")));
    ASSERT_TRUE(QFile::remove(file(QStringLiteral("gone.jpg"))));
    const QString loopA = file(QStringLiteral("loopA/Tessaron.lnk"));
    const QString loopB = shortcut(QStringLiteral("loopB"), loopA);
    shortcut(QStringLiteral("loopA"), loopB);
    write(QStringLiteral("plain.lnk"), "not a shortcut");
    write(QStringLiteral("photo.jpg"));

    for (const QString& path :
         {broken, loopA, file(QStringLiteral("plain.lnk")), file(QStringLiteral("photo.jpg")),
          file(QStringLiteral("absent.lnk")), QString()})
        EXPECT_EQ(m_resolver.resolveShortcut(path), QString()) << path.toStdString();
}

} // namespace
