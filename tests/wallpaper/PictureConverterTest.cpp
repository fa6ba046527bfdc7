#include "wallpaper/PictureConverter.h"
#include "platform/linux/LinuxConverterProcess.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace {

QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && QLatin1String(context.category) == "tessaron.convert")
        warnings << text;
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
    QFile script(dir.filePath("converter"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho 'notice: running without the file-system sandbox: test' >&2\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    LinuxConverterProcess unconfined(script.fileName());
    PictureConverter told(unconfined);
    EXPECT_TRUE(told.ConvertPicture(text, bitmap, 2, {}));
    EXPECT_TRUE(told.ConvertPicture(text, bitmap, 2, {}));
    qInstallMessageHandler(previous);

    ASSERT_EQ(warnings.size(), 2) << warnings.join('\n').toStdString();
    EXPECT_EQ(warnings[0], "Cannot convert " + text +
                               ": cannot read the picture (not a picture format this program "
                               "reads)");
    EXPECT_EQ(warnings[1], "Converter program: running without the file-system sandbox: test");
}
