#include "wallpaper/PictureConverter.h"
#include "bitmap/BitmapWriter.h"
#include "platform/linux/LinuxConverterProcess.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

namespace {

QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && QLatin1String(context.category) == "tessaron.convert")
        warnings << text;
}

// A converter program of the test's: a shell script that runs `commands` with the bitmap's
// name in $b.
QString converterScript(const QTemporaryDir& dir, const QString& name, const QByteArray& commands) {
    QFile script(dir.filePath(name));
    EXPECT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nfor b; do :; done\n" + commands + '\n');
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    return script.fileName();
}

// The headers of a `width` x `height` bitmap, in a file of its own.
QString headerFile(const QTemporaryDir& dir, const QString& name, int width, int height) {
    const auto header = BitmapWriter::headers(width, height);
    QFile file(dir.filePath(name));
    EXPECT_TRUE(header && file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(header->data()), header->size());
    return file.fileName();
}

} // namespace

TEST(PictureConverter, AFailureIsLoggedOnceWithTheConvertersReasonAndLeavesNoBitmap) {
    QTemporaryDir dir;
    const QString text = dir.filePath("words.jpg");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Just some words, not a picture at all.\n");
    file.close();
    LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER));
    PictureConverter converter(process);

    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    const QString bitmap = dir.filePath("OUT.BMP");
    EXPECT_FALSE(converter.ConvertPicture(text, bitmap, 2, {}));
    EXPECT_FALSE(QFile::exists(bitmap));
    // What the converter had to do without is told once, not at every change.
    const QString small = headerFile(dir, "small.bmp", 2, 2);
    LinuxConverterProcess unconfined(
        converterScript(dir, "converter",
                        "echo 'notice: running without the file-system sandbox: test' >&2\n"
                        "cp '" +
                            small.toUtf8() + "' \"$b\"; truncate -s 70 \"$b\""));
    PictureConverter told(unconfined);
    EXPECT_TRUE(told.ConvertPicture(text, bitmap, 2, {}));
    EXPECT_TRUE(told.ConvertPicture(text, bitmap, 2, {}));
    // A converter with something new to say at every change is told only so often.
    LinuxConverterProcess chatty(converterScript(dir, "chatty", "echo \"notice: $$\" >&2; exit 1"));
    PictureConverter chattering(chatty);
    for (int i = 0; i < 20; ++i)
        chattering.ConvertPicture(text, bitmap, 2, {});
    qInstallMessageHandler(previous);

    ASSERT_EQ(warnings.size(), 2 + 20 + 17) << warnings.join('\n').toStdString();
    EXPECT_EQ(warnings[0], "Cannot convert " + text +
                               ": cannot read the picture (not a picture format this program "
                               "reads)");
    EXPECT_EQ(warnings[1], "Converter program: running without the file-system sandbox: test");
    EXPECT_EQ(warnings.filter("Converter program: ").size(), 1 + 17);
    EXPECT_EQ(warnings.last(), "Cannot convert " + text + ": ended with status 1");
    EXPECT_TRUE(
        warnings.contains("Converter program: more than 16 different notices; no more are logged"));
}

// The converter is not trusted: a bitmap larger than the screen it was asked for, however its
// header puts it, is refused from the header alone and removed. (Such a bitmap is put in place
// whole: the converter's file size limit would stop it being written.)
TEST(PictureConverter, OnlyABitmapOfTheScreensSizeIsTaken) {
    QTemporaryDir dir;
    const QString picture = dir.filePath("in.jpg");
    const QString bitmap = dir.filePath("OUT.BMP");
    const struct {
        int width, height;
        qint64 length;
        QString refusal; // empty: taken
    } cases[] = {
        {1920, 1080, 54 + 5760LL * 1080, {}},
        {700000000, 1, 54 + 2100000000LL, "a 700000000 x 1 bitmap, larger than 1920 x 1080"},
        {16384, 16384, 54 + 49152LL * 16384, "a 16384 x 16384 bitmap, larger than 1920 x 1080"},
        {1920, 1080, 54 + 5760LL * 1079, "a bitmap whose length does not match its size"},
        {0, 0, 4096, "not an uncompressed 24-bit bitmap"},
    };
    const QString made = dir.filePath("made.bmp");
    LinuxConverterProcess process(
        converterScript(dir, "hostile", "mv '" + made.toUtf8() + "' \"$b\""));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        if (c.width)
            headerFile(dir, "made.bmp", c.width, c.height);
        QFile file(made);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(c.length));
        file.close();
        PictureConverter converter(process);
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
        EXPECT_EQ(converter.ConvertPicture(picture, bitmap, 2, {}), c.refusal.isEmpty());
        qInstallMessageHandler(previous);
        EXPECT_EQ(QFile::exists(bitmap), c.refusal.isEmpty());
        if (!c.refusal.isEmpty())
            EXPECT_EQ(warnings.value(0).toStdString(),
                      ("Cannot convert " + picture +
                       ": the converter program's bitmap is refused: " + c.refusal)
                          .toStdString());
        QFile::remove(bitmap);
    }
}
