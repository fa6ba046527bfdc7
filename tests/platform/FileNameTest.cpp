#include "platform/FileName.h"
#include "platform/PrintableText.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameTest, EveryByteStringComesBackAsItWasAndUtf8DecodesAsUsual) {
    EXPECT_EQ(FileName::fromNative("/home/ana/caf\xc3\xa9.jpg"),
              QStringLiteral("/home/ana/café.jpg"));
    EXPECT_FALSE(FileName::hasRawBytes(QStringLiteral("/home/ana/café.jpg")));
    // A character whose second UTF-16 half looks like a raw byte's stand-in (U+1F4F7).
    const QString camera = FileName::fromNative("/p/\xf0\x9f\x93\xb7.jpg");
    EXPECT_EQ(camera, QString::fromUtf16(u"/p/\U0001F4F7.jpg"));
    EXPECT_FALSE(FileName::hasRawBytes(camera));
    EXPECT_EQ(FileName::toNative(camera), QByteArray("/p/\xf0\x9f\x93\xb7.jpg"));
    EXPECT_EQ(FileName::withRawBytesAs(camera, QLatin1Char('?')), camera);
    // Latin-1 bytes, a cut sequence, an overlong slash, an encoded surrogate, a stray
    // continuation byte and a four-byte character.
    for (const QByteArray& bytes :
         {QByteArray("/p/caf\xe9.jpg"), QByteArray("/p/a\xc3"), QByteArray("/p/\xc0\xaf.jpg"),
          QByteArray("/p/\xed\xa0\x80.gif"), QByteArray("\x80/x"),
          QByteArray("/p/\xf0\x9f\x98\x80\xff.bmp"), QByteArray("/p/\xf0\x9f\x93\xb7\xf7")}) {
        const QString name = FileName::fromNative(bytes);
        EXPECT_EQ(FileName::toNative(name), bytes) << bytes.toHex().constData();
        EXPECT_TRUE(FileName::hasRawBytes(name)) << bytes.toHex().constData();
    }
}

// What reaches a terminal or a log line: one line, no escape sequence, each raw byte named.
TEST(FileNameTest, PrintedNamesStayOnOneLineAndShowTheirRawBytes) {
    using PrintableText::escaped;
    EXPECT_EQ(escaped(FileName::fromNative("/p/caf\xe9\r\n\t\x1b[2J\x7f.jpg")),
              QStringLiteral("/p/caf\\xe9\\r\\n\\t\\e[2J\\x7f.jpg"));
    // C1 controls and the line separators; a whole surrogate pair stays, a lone one does not.
    EXPECT_EQ(escaped(QString::fromUtf16(u"a\u009b\u2028\U0001F600\\")),
              QString::fromUtf16(u"a\\u{009b}\\u{2028}\U0001F600\\"));
    EXPECT_EQ(escaped(QString(QChar(0xD800)) + "x"), QStringLiteral("\\u{d800}x"));
}

} // namespace
