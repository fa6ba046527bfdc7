// The converter program as its own process: its sandbox, its bounds, and how its end is told.
#include "platform/FileName.h"
#include "platform/linux/LinuxConverterProcess.h"
#include "tests/converter/ImageTestFiles.h"
#include "tests/support/ProgramUnderTest.h"
#include "wallpaper/PictureConverter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <linux/filter.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Outcome = ConverterProcess::Result::Outcome;

// The converter processes whose parent is `parent`.
QList<pid_t> convertersOf(pid_t parent) {
    QList<pid_t> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ..."
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (line.contains("(tessaron-conver") && rest.size() > 1 && rest[0] != "Z" &&
            rest[1].toInt() == parent)
            found << entry.toInt();
    }
    return found;
}

// A seccomp program under which the Landlock calls fail as on a kernel without Landlock.
std::vector<sock_filter> withoutLandlock() {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    for (const int call : {SCMP_SYS(landlock_create_ruleset), SCMP_SYS(landlock_add_rule),
                           SCMP_SYS(landlock_restrict_self)})
        seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), call, 0);
    int bytes[2];
    std::vector<sock_filter> program(512);
    if (pipe(bytes) == 0 && seccomp_export_bpf(filter, bytes[1]) == 0) {
        ::close(bytes[1]);
        const ssize_t n = ::read(bytes[0], program.data(), program.size() * sizeof(sock_filter));
        program.resize(n > 0 ? static_cast<std::size_t>(n) / sizeof(sock_filter) : 0);
        ::close(bytes[0]);
    }
    seccomp_release(filter);
    return program;
}

class ConverterProcessTest : public ::testing::Test {
protected:
    ConverterProcessTest() { saveWithVips(quadrants(64, 48), path("in.png")); }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    ConversionRequest request(const QString& test = {}) const {
        ConversionRequest r;
        r.picture = FileName::toNative(path("in.png")).toStdString();
        r.bitmap = FileName::toNative(path("OUT.BMP")).toStdString();
        r.test = test.toStdString();
        return r;
    }
    // Runs the converter program directly; its standard output and error.
    std::pair<QString, QString> runDirectly(const QStringList& arguments,
                                            const std::vector<sock_filter>& filter = {}) {
        QProcess process;
        if (!filter.empty())
            process.setChildProcessModifier([&filter] {
                const sock_fprog program{static_cast<unsigned short>(filter.size()),
                                         const_cast<sock_filter*>(filter.data())};
                ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
                ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
            });
        process.start(QStringLiteral(TESSARON_CONVERTER), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QTemporaryDir m_dir;
    LinuxConverterProcess m_process{QStringLiteral(TESSARON_CONVERTER)};
};

} // namespace

TEST_F(ConverterProcessTest, TheSandboxRefusesFilesNetworkAndProgramsWithOrWithoutLandlock) {
    QDir().mkpath(path("elsewhere"));
    const QStringList arguments = {QStringLiteral("--test"), "probe:" + path("elsewhere"),
                                   path("in.png"), path("OUT.BMP")};
    const auto [output, errors] = runDirectly(arguments);
    for (const char* attempt : {"write", "read", "socket", "unix socket", "process", "run"})
        EXPECT_TRUE(output.contains(QStringLiteral("probe %1: refused").arg(attempt)))
            << attempt << '\n'
            << output.toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    EXPECT_TRUE(BitmapFile::read(path("OUT.BMP")).valid) << "the conversion itself still works";
    EXPECT_FALSE(QFile::exists(path("elsewhere/probe-written")));

    // A kernel without Landlock: the converter says so and runs; the rest still holds.
    QFile::remove(path("OUT.BMP"));
    const auto [unconfined, notice] = runDirectly(arguments, withoutLandlock());
    EXPECT_TRUE(notice.startsWith("notice: running without the file-system sandbox"))
        << notice.toStdString();
    for (const char* attempt : {"socket", "unix socket", "process", "run"})
        EXPECT_TRUE(unconfined.contains(QStringLiteral("probe %1: refused").arg(attempt)))
            << attempt;
    EXPECT_TRUE(BitmapFile::read(path("OUT.BMP")).valid);
}

TEST_F(ConverterProcessTest, ACrashAHangOrAnyLimitEndsAsAFailedConversion) {
    const struct {
        const char* test;
        ConverterLimits limits;
        QString reason;
    } cases[] = {
        {"crash", {}, "crashed: signal "}, // SEGV, or ABRT where a sanitizer reports it
        {"hang", {.wall = std::chrono::milliseconds(1000)}, "killed: wall time limit (1 s)"},
        {"spin", {.cpu = std::chrono::seconds(1)}, "killed: CPU time limit (1 s)"},
        {"allocate",
         {.addressSpace = std::uint64_t{512} << 20},
         "out of memory at the address-space limit of 512 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test);
        if (c.limits.addressSpace != ConverterLimits{}.addressSpace &&
            !LinuxConverterProcess::limitsAddressSpace())
            continue;
        LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER), c.limits);
        const ConverterProcess::Result result = process.convert(request(c.test));
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_TRUE(result.reason.startsWith(c.reason)) << result.reason.toStdString();
        EXPECT_FALSE(QFile::exists(path("OUT.BMP")));
    }
    EXPECT_EQ(m_process.convert(request()).outcome, Outcome::Converted);
}

TEST_F(ConverterProcessTest, AbortEndsTheConverterAtOnceAndLaterConversionsRun) {
    ConverterProcess::Result result;
    std::thread converting([&] { result = m_process.convert(request("hang")); });
    // Waits until it hangs in its sandbox, its libraries loaded.
    QByteArray mapped;
    const bool started = waitUntil([&] {
        const QList<pid_t> converters = convertersOf(::getpid());
        QFile status(QStringLiteral("/proc/%1/status").arg(converters.value(0)));
        QFile maps(QStringLiteral("/proc/%1/maps").arg(converters.value(0)));
        if (converters.size() != 1 || !status.open(QIODevice::ReadOnly) ||
            !status.readAll().contains("Seccomp:\t2") || !maps.open(QIODevice::ReadOnly))
            return false;
        mapped = maps.readAll();
        return true;
    });
    EXPECT_EQ(m_process.running(), 1);
    m_process.abort();
    converting.join();
    ASSERT_TRUE(started);
    // It loads no Qt: it starts for every change.
    EXPECT_TRUE(mapped.contains("libvips"));
    EXPECT_FALSE(mapped.contains("libQt6"));
    EXPECT_EQ(result.outcome, Outcome::Stopped);
    EXPECT_FALSE(QFile::exists(path("OUT.BMP")));
    EXPECT_TRUE(convertersOf(::getpid()).isEmpty());
    EXPECT_EQ(m_process.convert(request()).outcome, Outcome::Converted);
}

TEST_F(ConverterProcessTest, TheConverterDiesWithTheProgram) {
    // This process adopts what its children leave behind, so the converter is seen to end.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const pid_t program = ::fork();
    if (program == 0) {
        m_process.convert(request("hang"));
        ::_exit(0);
    }
    QList<pid_t> converters;
    ASSERT_TRUE(waitUntil([&] { return !(converters = convertersOf(program)).isEmpty(); }));
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    int status = 0;
    EXPECT_EQ(::waitpid(converters[0], &status, 0), converters[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(ConverterProcessTest, NamesThatAreNotUtf8ReachTheConverterAsTheyAre) {
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray picture = folder + "/caf\xe9.png"; // Latin-1, not UTF-8
    ASSERT_EQ(::rename(QFile::encodeName(path("in.png")).constData(), picture.constData()), 0);
    const QByteArray bitmap = folder + "/\xff.BMP";
    PictureConverter converter(m_process);
    ASSERT_TRUE(converter.ConvertPicture(FileName::fromNative(picture),
                                         FileName::fromNative(bitmap), 2, {}));
    char magic[2] = {};
    const int written = ::open(bitmap.constData(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(::read(written, magic, sizeof magic), 2);
    ::close(written);
    EXPECT_EQ(std::string_view(magic, 2), "BM");
    ::unlink(bitmap.constData()); // names the temporary folder's removal cannot spell
    ::unlink(picture.constData());
}
