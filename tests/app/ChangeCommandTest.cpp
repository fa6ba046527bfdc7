#include "app/ChangeCommand.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && QByteArray(context.category) == "tessaron.app")
        warnings << message;
}

const ShownPicture kSea{PictureKind::FolderWalk, "/p/my sea.jpg", "DP-1",
                        "/p/my sea.jpg",         "/w/MY SEA.bmp", {}};

TEST(ChangeCommand, SplitsAsAShellDoesAndPutsThePicturesIntoTheWords) {
    EXPECT_EQ(ChangeCommand::arguments(
                  R"(wal -i %f --name="%s screen" 'it''s' a\ b 100%% "q\"u\x")", kSea),
              (QStringList{"wal", "-i", "/p/my sea.jpg", "--name=DP-1 screen", "its", "a b", "100%",
                           R"(q"u\x)"}));
    EXPECT_EQ(ChangeCommand::arguments("convert %b 'open", kSea), std::nullopt);
    EXPECT_EQ(ChangeCommand::arguments("  ", kSea), std::nullopt);
}

TEST(ChangeCommand, RunsForEachPictureIsBoundedAndLogsAFailureOnce) {
    ensureQtApplication();
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    ChangeCommand command(std::chrono::milliseconds(300));
    ShownPicture other = kSea;
    other.screen = "HDMI-1";
    command.run("/bin/sh -c 'echo \"$1|$2\" >> \"$0\"' " + out + " %s %b", {kSea, other});
    ASSERT_TRUE(waitUntil([&] { return command.running() == 0; }));
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts);
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"DP-1|/w/MY SEA.bmp", "HDMI-1|/w/MY SEA.bmp"}));

    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    for (int i = 0; i < 2; ++i) {
        command.run("/bin/sleep 30", {kSea});
        ASSERT_TRUE(waitUntil([&] { return command.running() == 0; }));
    }
    command.run("/no/such/program", {kSea});
    ASSERT_TRUE(waitUntil([&] { return command.running() == 0; }));
    qInstallMessageHandler(previous);
    ASSERT_EQ(warnings.size(), 2) << warnings.join('\n').toStdString();
    EXPECT_TRUE(warnings[0].contains("/bin/sleep 30")) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[1].contains("/no/such/program")) << warnings[1].toStdString();
}

} // namespace
