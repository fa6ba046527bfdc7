// Reading name listings and PWD replies, which come from servers we do not trust.
#include "transport/FtpReplies.h"
#include "tests/ftp/PrintQt.h"

#include <gtest/gtest.h>

namespace {

using FtpReplies::parseDirectoryReply;
using FtpReplies::parseNameList;

TEST(FtpNameList, LinesEndedEitherWayBlankLinesDropped) {
    EXPECT_EQ(parseNameList("a.jpg\r\nb c.gif\n\r\n\nd\r\n", 100),
              QStringList({"a.jpg", "b c.gif", "d"}));
    EXPECT_EQ(parseNameList("", 100), QStringList());
    // Multibyte names survive whole.
    EXPECT_EQ(parseNameList("B\xc3\xa4ume.jpg\r\n", 100),
              QStringList({QString::fromUtf8("Bäume.jpg")}));
    // A last line without an end counts only when the transfer ended normally.
    EXPECT_EQ(parseNameList("a.jpg\r\nb.jp", 100, true), QStringList({"a.jpg", "b.jp"}));
    EXPECT_EQ(parseNameList("a.jpg\r\nb.jp", 100, false), QStringList({"a.jpg"}));
}

TEST(FtpNameList, NamesThatCouldNotBeFetchedAgainAreLeftOut) {
    // Invalid UTF-8, an embedded zero byte, other control characters, a lone CR inside.
    static const char raw[] =
        "ok1.jpg\r\n\xff\xfe.jpg\r\nzero\0byte.jpg\r\ntab\t.jpg\r\nx\ry.jpg\r\nok2.jpg\n";
    const QByteArray data(raw, sizeof(raw) - 1);
    EXPECT_EQ(parseNameList(data, 100), QStringList({"ok1.jpg", "ok2.jpg"}));
}

TEST(FtpNameList, AtMostTheGivenNumberOfNames) {
    QByteArray data;
    for (int i = 0; i < 1000; ++i)
        data += "n" + QByteArray::number(i) + "\r\n";
    const QStringList names = parseNameList(data, 7);
    ASSERT_EQ(names.size(), 7);
    EXPECT_EQ(names.last(), "n6");
}

TEST(FtpDirectoryReply, QuotedDirectoryWithDoubledQuotesUndone) {
    EXPECT_EQ(parseDirectoryReply("257 \"/pub/pics\" is the current directory.\r\n"),
              QStringLiteral("/pub/pics"));
    EXPECT_EQ(parseDirectoryReply("257 \"/say \"\"cheese\"\"\" is current\r\n"),
              QStringLiteral("/say \"cheese\""));
    EXPECT_EQ(parseDirectoryReply("257 \"/\"\r\n"), QStringLiteral("/"));
    EXPECT_EQ(parseDirectoryReply("257 \"C:\\pics\\\"\r\n"), QStringLiteral("C:\\pics\\"));
    EXPECT_EQ(parseDirectoryReply("257 \"/unterminated\r\n"), QStringLiteral("/unterminated"));
}

TEST(FtpDirectoryReply, UnquotedReplyGivesTheRestOfTheLineOtherRepliesNothing) {
    EXPECT_EQ(parseDirectoryReply("257 /plain\r\n"), QStringLiteral("/plain"));
    EXPECT_EQ(parseDirectoryReply("250 \"/pub\" okay\r\n"), std::nullopt);
    EXPECT_EQ(parseDirectoryReply("25"), std::nullopt);
}

} // namespace
