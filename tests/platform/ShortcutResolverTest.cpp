#include "platform/linux/SymlinkShortcutResolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ShortcutResolverTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("pics/sub")));
        QFile picture(file(QStringLiteral("pics/sub/photo.jpg")));
        ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
        picture.close();
    }
    QString file(const QString& relative) const { return m_dir.filePath(relative); }
    void link(const QString& target, const QString& name) {
        ASSERT_TRUE(QFile::link(target, file(name))) << name.toStdString();
    }

    QTemporaryDir m_dir;
    SymlinkShortcutResolver m_resolver;
};

TEST_F(ShortcutResolverTest, ChainOfLinksResolvesToTheAbsoluteFinalTarget) {
    const QString photo = QFileInfo(file(QStringLiteral("pics/sub/photo.jpg"))).canonicalFilePath();
    link(QStringLiteral("pics/sub/photo.jpg"), QStringLiteral("relative.lnk"));
    link(file(QStringLiteral("relative.lnk")), QStringLiteral("chained.lnk"));
    link(QStringLiteral("../relative.lnk"), QStringLiteral("pics/up.lnk"));
    EXPECT_EQ(m_resolver.resolveShortcut(file(QStringLiteral("relative.lnk"))), photo);
    EXPECT_EQ(m_resolver.resolveShortcut(file(QStringLiteral("chained.lnk"))), photo);
    EXPECT_EQ(m_resolver.resolveShortcut(file(QStringLiteral("pics/up.lnk"))), photo);
}

TEST_F(ShortcutResolverTest, UnfollowableShortcutsGiveAPathThatDoesNotExist) {
    link(QStringLiteral("nowhere.jpg"), QStringLiteral("broken.lnk"));
    link(file(QStringLiteral("loop-b.lnk")), QStringLiteral("loop-a.lnk"));
    link(file(QStringLiteral("loop-a.lnk")), QStringLiteral("loop-b.lnk"));
    QFile plain(file(QStringLiteral("plain.lnk")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    for (const QString& name : {QStringLiteral("broken.lnk"), QStringLiteral("loop-a.lnk"),
                                QStringLiteral("plain.lnk"), QStringLiteral("absent.lnk")}) {
        const QString resolved = m_resolver.resolveShortcut(file(name));
        EXPECT_FALSE(QFileInfo::exists(resolved)) << name.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(m_resolver.resolveShortcut(QString())));
}

} // namespace
