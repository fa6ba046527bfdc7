// The converter program as its own process: its sandbox, its bounds, and how its end is told.
#include "platform/FileName.h"
#include "platform/linux/LinuxConverterProcess.h"
#include "tests/converter/ImageTestFiles.h"
#include "tests/support/ProgramUnderTest.h"
#include "wallpaper/PictureConverter.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

using Outcome = ConverterProcess::Result::Outcome;
// The owner's, the group's and everyone's bits of a file's mode.
constexpr QFile::Permissions kModeBits = QFile::Permissions::fromInt(0x7077);

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

// A seccomp program for the converter's start: under ENOSYS the Landlock calls fail as on a
// kernel without Landlock; under NOTIFY the question for Landlock's version goes to a
// supervisor, which makes a newer kernel look older.
std::vector<sock_filter> landlockFilter(std::uint32_t action) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (action == SCMP_ACT_NOTIFY)
        seccomp_rule_add(filter, action, SCMP_SYS(landlock_create_ruleset), 0);
    else
        for (const int call : {SCMP_SYS(landlock_create_ruleset), SCMP_SYS(landlock_add_rule),
                               SCMP_SYS(landlock_restrict_self)})
            seccomp_rule_add(filter, action, call, 0);
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

// Answers the converter's question for Landlock's version with `abi` and lets its other
// Landlock calls through, until the converter has ended.
void superviseLandlock(int listener, long abi) {
    for (;;) {
        pollfd watched{listener, POLLIN, 0};
        if (::poll(&watched, 1, 60000) <= 0 || !(watched.revents & POLLIN))
            break;
        seccomp_notif call{};
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0)
            break;
        seccomp_notif_resp answer{};
        answer.id = call.id;
        if (call.data.args[0] == 0 && call.data.args[2] == LANDLOCK_CREATE_RULESET_VERSION)
            answer.val = abi;
        else
            answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
    }
    ::close(listener);
}

// The descriptor a child sent over `socket`, or -1 when none comes within 20 s.
int receiveDescriptor(int socket) {
    pollfd watched{socket, POLLIN, 0};
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::poll(&watched, 1, 20000) != 1 || ::recvmsg(socket, &message, 0) != 1)
        return -1;
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    int fd = -1;
    if (header && header->cmsg_type == SCM_RIGHTS)
        std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
    return fd;
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
    // Runs the converter program directly, under `filter` when one is given (with a supervisor
    // that gives Landlock's version as `abi` when that is set); its standard output and error.
    std::pair<QString, QString> runDirectly(const QStringList& arguments,
                                            const std::vector<sock_filter>& filter = {},
                                            long abi = 0) {
        int channel[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, channel), 0);
        QProcess process;
        if (!filter.empty())
            process.setChildProcessModifier([&filter, abi, &channel] {
                const sock_fprog program{static_cast<unsigned short>(filter.size()),
                                         const_cast<sock_filter*>(filter.data())};
                ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
                const long listener =
                    ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER,
                              abi ? SECCOMP_FILTER_FLAG_NEW_LISTENER : 0, &program);
                if (abi && listener >= 0) {
                    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
                    char byte = 0;
                    iovec data{&byte, 1};
                    msghdr message{};
                    message.msg_iov = &data;
                    message.msg_iovlen = 1;
                    message.msg_control = control;
                    message.msg_controllen = sizeof control;
                    cmsghdr* header = CMSG_FIRSTHDR(&message);
                    header->cmsg_level = SOL_SOCKET;
                    header->cmsg_type = SCM_RIGHTS;
                    header->cmsg_len = CMSG_LEN(sizeof(int));
                    const int fd = static_cast<int>(listener);
                    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
                    ::sendmsg(channel[1], &message, 0);
                }
            });
        process.start(QStringLiteral(TESSARON_CONVERTER), arguments);
        std::thread supervisor;
        if (abi)
            supervisor = std::thread(superviseLandlock, receiveDescriptor(channel[0]), abi);
        EXPECT_TRUE(process.waitForFinished(60000));
        if (supervisor.joinable())
            supervisor.join();
        ::close(channel[0]);
        ::close(channel[1]);
        return {QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QTemporaryDir m_dir;
    LinuxConverterProcess m_process{QStringLiteral(TESSARON_CONVERTER)};
};

} // namespace

// What a converter taken over by its picture would try, each refused with or without Landlock
// and whatever Landlock's version: the user's files, other processes, the network, programs.
TEST_F(ConverterProcessTest, TheSandboxRefusesEveryAttackWithAnyLandlockOrNone) {
    const long kernelAbi =
        ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    struct Situation {
        const char* name;
        std::vector<sock_filter> filter;
        long abi = 0;
    };
    std::vector<Situation> situations = {
        {"without Landlock", landlockFilter(SCMP_ACT_ERRNO(ENOSYS))}};
    if (kernelAbi >= 1)
        situations.push_back({"with this kernel's Landlock", {}});
    // Scoped signals came with version 6, truncation with 3, moves between folders with 2.
    for (const long older : {5L, 2L})
        if (kernelAbi > older)
            situations.push_back(
                {"with an older Landlock", landlockFilter(SCMP_ACT_NOTIFY), older});
    const QString folder = path("elsewhere");
    const QString victim = folder + "/victim";
    const QStringList arguments = {QStringLiteral("--test"), "probe:" + folder, path("in.png"),
                                   path("OUT.BMP")};
    for (const Situation& situation : situations) {
        SCOPED_TRACE(std::string(situation.name) + " " + std::to_string(situation.abi));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's own");
        file.close();
        ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        const QDateTime written = QFileInfo(victim).lastModified();
        QFile::remove(path("OUT.BMP"));

        const auto [output, errors] = runDirectly(arguments, situation.filter, situation.abi);
        const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 28) << output.toStdString();
        for (const QString& line : lines)
            EXPECT_TRUE(line.endsWith("refused (Operation not permitted)") ||
                        line.endsWith("refused (Permission denied)") ||
                        line.endsWith("refused (Function not implemented)"))
                << line.toStdString();
        EXPECT_EQ(errors.startsWith("notice: running without the file-system sandbox"),
                  situation.filter.size() > 0 && situation.abi == 0)
            << errors.toStdString();
        EXPECT_EQ(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                  QStringList{"victim"});
        const QFileInfo after(victim);
        EXPECT_EQ(after.size(), 14);
        EXPECT_EQ(after.permissions() & kModeBits, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(after.lastModified(), written);
        EXPECT_EQ(::getxattr(QFile::encodeName(victim).constData(), "user.probe", nullptr, 0), -1);
        EXPECT_TRUE(QFileInfo(path("in.png")).permissions() & QFile::WriteOwner);
        EXPECT_FALSE(QFileInfo(path("in.png")).permissions() & QFile::WriteOther);
        // The conversion itself still works, into a bitmap for the user alone.
        const BitmapFile bitmap = BitmapFile::read(path("OUT.BMP"));
        EXPECT_TRUE(bitmap.valid);
        EXPECT_LT(QFileInfo(path("OUT.BMP")).size(), 100 << 20);
        EXPECT_EQ(QFileInfo(path("OUT.BMP")).permissions() & kModeBits,
                  QFile::ReadOwner | QFile::WriteOwner);
    }
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
        {"grow", {}, "killed: file size limit ("},
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
    // Fit writes the picture's rows in order; Fill sizes the file first and places blocks.
    for (const int layout : {2, 4}) {
        ASSERT_TRUE(converter.ConvertPicture(FileName::fromNative(picture),
                                             FileName::fromNative(bitmap), layout, {}))
            << layout;
        char magic[2] = {};
        const int written = ::open(bitmap.constData(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(::read(written, magic, sizeof magic), 2);
        ::close(written);
        EXPECT_EQ(std::string_view(magic, 2), "BM");
    }
    ::unlink(bitmap.constData()); // names the temporary folder's removal cannot spell
    ::unlink(picture.constData());
}
