#include "platform/linux/LinuxConverterProcess.h"

#include "bitmap/BitmapWriter.h"
#include "platform/ConverterReport.h"
#include "platform/FileName.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

extern "C" int __clone(int (*function)(void*), void* stack, int flags, void* argument, ...);

namespace {

constexpr std::size_t kReportBytes = ConverterReport::kMaxBytes;

int pidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

void pidfdKill(int pidfd) {
    ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0);
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The program's environment, with huge pages for the converter's heap: a conversion fills
// tens of megabytes once, and a quarter fewer page faults make it noticeably quicker.
std::vector<std::string> converterEnvironment() {
    constexpr std::string_view kTunables = "GLIBC_TUNABLES=";
    std::vector<std::string> environment;
    std::string tunables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text = *entry;
        if (text.starts_with(kTunables))
            tunables = std::string(text.substr(kTunables.size())) + ':';
        else
            environment.emplace_back(text);
    }
    environment.push_back(std::string(kTunables) + tunables + "glibc.malloc.hugetlb=1");
    return environment;
}

// What the child needs between its start and the converter program's.
struct ChildStart {
    const char* program;
    char* const* argv;
    char* const* envp;
    pid_t parent;
    rlim_t cpuSeconds;
    rlim_t addressSpace;
    rlim_t fileSize;
    int nullFd;
    int reportFd;
};

// The kernel's own sigaction record. The child resets its handlers with the bare system call:
// a library that wraps sigaction() (a sanitizer's runtime) keeps a table of handlers in memory
// that the child shares with the parent, and would reset the parent's handlers there.
struct KernelSigaction {
    void (*handler)(int);
    unsigned long flags;
    void (*restorer)();
    std::uint64_t mask;
};

// Runs in the child, which shares the parent's memory until it executes the converter program,
// so only calls that are safe there: system calls.
int startConverter(void* argument) {
    const ChildStart& start = *static_cast<const ChildStart*>(argument);
    // Signal handlers are the parent's code: none may run here.
    for (int signal = 1; signal < NSIG; ++signal) {
        KernelSigaction action{};
        if (::syscall(SYS_rt_sigaction, signal, nullptr, &action, sizeof action.mask) == 0 &&
            action.handler != SIG_IGN && action.handler != SIG_DFL) {
            action = {};
            action.handler = SIG_DFL;
            ::syscall(SYS_rt_sigaction, signal, &action, nullptr, sizeof action.mask);
        }
    }
    const std::uint64_t none = 0;
    ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof none);
    // Dies with the thread that started it. A parent that died before this took effect has
    // left the child to someone else already.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != start.parent)
        ::_exit(127);
    // SIGXCPU at the limit names the cause; SIGKILL a second later if it is ignored.
    const rlimit cpuLimit{start.cpuSeconds, start.cpuSeconds + 1};
    const rlimit memoryLimit{start.addressSpace, start.addressSpace};
    const rlimit fileLimit{start.fileSize, start.fileSize};
    const rlimit noCore{0, 0}; // a crash must not leave the picture's pixels on disk
    const sched_param idle{};
    if (::setrlimit(RLIMIT_CPU, &cpuLimit) != 0 || ::setrlimit(RLIMIT_AS, &memoryLimit) != 0 ||
        ::setrlimit(RLIMIT_FSIZE, &fileLimit) != 0 || ::setrlimit(RLIMIT_CORE, &noCore) != 0 ||
        ::sched_setscheduler(0, SCHED_IDLE, &idle) != 0)
        ::_exit(127);
    ::setpriority(PRIO_PROCESS, 0, 19);
    if (::dup2(start.nullFd, STDIN_FILENO) < 0 || ::dup2(start.nullFd, STDOUT_FILENO) < 0 ||
        ::dup2(start.reportFd, STDERR_FILENO) < 0)
        ::_exit(127);
    // Nothing else of the program's reaches the converter.
    ::syscall(SYS_close_range, 3U, ~0U, 0U);
    ::execve(start.program, start.argv, start.envp);
    static constexpr char kFailed[] = "cannot run the converter program\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
    ::_exit(127);
}

// Starts the converter as posix_spawn starts a program (sharing memory until the program runs,
// which a large program's fork would spend milliseconds copying the page tables of), with what
// posix_spawn cannot set: limits and the signal for the parent's death.
pid_t spawn(ChildStart& start) {
    constexpr std::size_t kStackBytes = 64 * 1024;
    std::vector<std::max_align_t> stack(kStackBytes / sizeof(std::max_align_t));
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    // glibc's own name for clone(): ThreadSanitizer's wrapper of clone() takes a child in the
    // parent's memory for a forked copy, and its bookkeeping for the child then leaves the
    // parent thread ignoring every lock it takes afterwards.
    const pid_t pid = ::__clone(startConverter, stack.data() + stack.size(),
                                CLONE_VM | CLONE_VFORK | SIGCHLD, &start);
    const int error = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return pid;
}

QString seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0);
}

// The converter's command line and environment, as execve takes them.
class CommandLine {
public:
    CommandLine(const QByteArray& program, const ConversionRequest& request)
        : m_arguments(request.arguments()), m_environment(converterEnvironment()) {
        m_argv.push_back(const_cast<char*>(program.constData()));
        for (std::string& argument : m_arguments)
            m_argv.push_back(argument.data());
        m_argv.push_back(nullptr);
        for (std::string& entry : m_environment)
            m_envp.push_back(entry.data());
        m_envp.push_back(nullptr);
    }
    char* const* argv() const { return m_argv.data(); }
    char* const* envp() const { return m_envp.data(); }

private:
    std::vector<std::string> m_arguments;
    std::vector<std::string> m_environment;
    std::vector<char*> m_argv;
    std::vector<char*> m_envp;
};

// The largest file the converter may write: the bitmap of the whole screen (it never writes
// more than the screen shows), and a margin.
rlim_t fileSizeLimit(const ScreenArea& screen) {
    constexpr rlim_t kMargin = 1 << 20;
    const std::int64_t width = std::max(screen.screen.width(), 1);
    const std::int64_t height = std::max(screen.screen.height(), 1);
    return BitmapWriter::kHeadersSize + BitmapWriter::stride(width) * height + kMargin;
}

// How the converter ended, with what it said on its way.
struct Ending {
    int status = 0;
    rusage usage{};
    bool pastWallTime = false;
    std::string report;
};

// Appends what the report pipe holds now, up to kReportBytes in all; true at its end.
bool readAvailable(int fd, std::string& text) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return n == 0;
        text.append(buffer, std::min(static_cast<std::size_t>(n),
                                     kReportBytes - std::min(kReportBytes, text.size())));
    }
}

// Collects the report until the converter ends, and ends it at the wall-time limit.
void watch(int pidfd, int reportFd, std::chrono::milliseconds wall, Ending& ending) {
    ::fcntl(reportFd, F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + wall;
    bool reportOpen = true;
    while (pidfd >= 0) {
        pollfd watched[2] = {{pidfd, POLLIN, 0}, {reportFd, POLLIN, 0}};
        int timeout = -1;
        if (!ending.pastWallTime) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ending.pastWallTime = true;
                pidfdKill(pidfd);
            } else {
                timeout = static_cast<int>(std::min<std::int64_t>(left.count(), 1 << 30));
            }
        }
        if (::poll(watched, reportOpen ? 2 : 1, timeout) < 0 && errno != EINTR) {
            pidfdKill(pidfd); // it cannot be watched any more: wait for its end instead
            break;
        }
        if (reportOpen && (watched[1].revents & (POLLIN | POLLHUP)))
            reportOpen = !readAvailable(reportFd, ending.report);
        if (watched[0].revents & POLLIN)
            break;
    }
    readAvailable(reportFd, ending.report);
}

// What the end of a converter that ran to its end means.
ConverterProcess::Result resultOf(const Ending& ending, const ConverterLimits& limits,
                                  rlim_t fileSize) {
    ConverterProcess::Result result;
    const QString reason = ConverterReport::reasonIn(ending.report, result.notices);
    if (ending.pastWallTime) {
        result.reason = QStringLiteral("killed: wall time limit (%1 s)").arg(seconds(limits.wall));
    } else if (WIFSIGNALED(ending.status)) {
        const int signal = WTERMSIG(ending.status);
        const auto cpuUsed =
            std::chrono::seconds(ending.usage.ru_utime.tv_sec + ending.usage.ru_stime.tv_sec);
        const char* name = ::sigabbrev_np(signal);
        if (signal == SIGXCPU || (signal == SIGKILL && cpuUsed >= limits.cpu))
            result.reason = QStringLiteral("killed: CPU time limit (%1 s)").arg(limits.cpu.count());
        else if (signal == SIGXFSZ)
            result.reason = QStringLiteral("killed: file size limit (%1 bytes)").arg(fileSize);
        else
            result.reason = QStringLiteral("crashed: signal %1")
                                .arg(name ? QString::fromLatin1(name) : QString::number(signal));
    } else if (const int code = WIFEXITED(ending.status) ? WEXITSTATUS(ending.status) : -1;
               code != 0) {
        result.reason =
            reason.isEmpty() ? QStringLiteral("ended with status %1").arg(code) : reason;
    } else {
        result.outcome = ConverterProcess::Result::Outcome::Converted;
    }
    return result;
}

} // namespace

struct LinuxConverterProcess::Child {
    int pidfd = -1;
    bool aborted = false;
};

LinuxConverterProcess::LinuxConverterProcess(QString program, ConverterLimits limits)
    : m_program(std::move(program)), m_limits(limits) {}

LinuxConverterProcess::~LinuxConverterProcess() {
    abort();
}

bool LinuxConverterProcess::limitsAddressSpace() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

int LinuxConverterProcess::running() const {
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const Child* child : m_children)
        count += child->pidfd >= 0 ? 1 : 0;
    return count;
}

void LinuxConverterProcess::abort() {
    std::lock_guard lock(m_mutex);
    for (Child* child : m_children) {
        child->aborted = true;
        if (child->pidfd >= 0)
            pidfdKill(child->pidfd);
    }
}

ConverterProcess::Result LinuxConverterProcess::convert(const ConversionRequest& request) {
    // Registered before anything starts, so an abort from now on reaches this call.
    Child child;
    {
        std::lock_guard lock(m_mutex);
        m_children.push_back(&child);
    }
    Result result = run(request, child);
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_children, &child);
        if (child.pidfd >= 0)
            ::close(child.pidfd);
        if (child.aborted)
            result = Result{Result::Outcome::Stopped, {}, {}};
    }
    // A converter that was killed, or failed inside its sandbox, cannot remove what it began.
    if (result.outcome != Result::Outcome::Converted)
        ::unlink(request.bitmap.c_str());
    return result;
}

ConverterProcess::Result LinuxConverterProcess::run(const ConversionRequest& request,
                                                    Child& child) {
    Result result;
    const QByteArray program = FileName::toNative(m_program);
    if (::access(program.constData(), X_OK) != 0) {
        result.reason = QStringLiteral("cannot start the converter program %1: %2")
                            .arg(m_program, QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    const CommandLine command(program, request);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        result.reason = QStringLiteral("cannot start the converter: no pipe");
        return result;
    }
    Descriptor reportRead(report[0]);
    Descriptor reportWrite(report[1]);
    const Descriptor nullFd(::open("/dev/null", O_RDWR | O_CLOEXEC));
    ChildStart start{program.constData(),
                     command.argv(),
                     command.envp(),
                     ::getpid(),
                     static_cast<rlim_t>(m_limits.cpu.count()),
                     limitsAddressSpace() ? m_limits.addressSpace : RLIM_INFINITY,
                     fileSizeLimit(request.screen),
                     nullFd.get(),
                     reportWrite.get()};
    const pid_t pid = spawn(start);
    reportWrite.reset();
    if (pid < 0) {
        result.reason = QStringLiteral("cannot start the converter: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    const int pidfd = pidfdOpen(pid);
    {
        std::lock_guard lock(m_mutex);
        child.pidfd = pidfd;
        if (pidfd < 0 || child.aborted)
            ::kill(pid, SIGKILL); // not reaped yet, so the number is still this child's
    }
    Ending ending;
    watch(pidfd, reportRead.get(), m_limits.wall, ending);
    while (::wait4(pid, &ending.status, 0, &ending.usage) < 0 && errno == EINTR) {
    }
    if (pidfd < 0) {
        result.reason = QStringLiteral("cannot watch the converter process");
        return result;
    }
    return resultOf(ending, m_limits, start.fileSize);
}
