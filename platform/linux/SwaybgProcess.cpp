#include "platform/linux/SwaybgProcess.h"

#include "platform/linux/WallpaperOptions.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <future>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Runs the forks of every swaybg on one thread that is never ended: a parent-death signal
// follows the thread that forked, and the threads that ask for a swaybg come and go.
class Launcher {
public:
    static Launcher& instance() {
        // Never destroyed: its thread may still wait when the program's statics go.
        static Launcher* launcher = new Launcher;
        return *launcher;
    }

    pid_t spawn(std::function<pid_t()> fork) {
        std::packaged_task<pid_t()> task(std::move(fork));
        std::future<pid_t> result = task.get_future();
        {
            const std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_one();
        return result.get();
    }

private:
    Launcher() {
        std::thread([this] {
            for (;;) {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_tasks.empty(); });
                std::packaged_task<pid_t()> task = std::move(m_tasks.front());
                m_tasks.pop_front();
                lock.unlock();
                task();
            }
        }).detach();
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<pid_t()>> m_tasks;
};

// Forks and runs the program with stderr on `errorFd`; between fork and exec only calls that
// are safe there.
pid_t forkSwaybg(const QByteArray& path, std::vector<char*> argv, std::vector<char*> envp,
                 int errorFd) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(127);
    // Terminal signals are the program's to answer; it ends its swaybg itself.
    ::setpgid(0, 0);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(errorFd, 2);
    ::close_range(3, ~0U, 0);
    // Once it has drawn, nobody reads its requests any more: writing them must not end it.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(path.constData(), argv.data(), envp.data());
    ::_exit(127);
}

bool reap(pid_t pid, int boundMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::usleep(5000);
    }
}

} // namespace

QString SwaybgProcess::modeOf(const WallpaperValues& values) {
    switch (WallpaperOptions::placementOf(values)) {
    case Placement::None:
        return {};
    case Placement::Tiled:
        return QStringLiteral("tile");
    case Placement::Stretched:
        return QStringLiteral("stretch");
    case Placement::Scaled:
        return QStringLiteral("fit");
    case Placement::Zoomed:
        return QStringLiteral("fill");
    default:
        // The program's own bitmaps are made for the screen: shown as they are, pixel for pixel.
        return QStringLiteral("center");
    }
}

QStringList SwaybgProcess::arguments(const std::vector<Picture>& pictures) {
    QStringList words;
    for (const Picture& picture : pictures) {
        words << QStringLiteral("-o") << picture.output << QStringLiteral("-c")
              << QStringLiteral("#000000");
        if (picture.path.isEmpty() || picture.mode.isEmpty())
            words << QStringLiteral("-m") << QStringLiteral("solid_color");
        else
            words << QStringLiteral("-i") << picture.path << QStringLiteral("-m") << picture.mode;
    }
    return words;
}

std::unique_ptr<SwaybgProcess> SwaybgProcess::start(const QString& program,
                                                    const QStringList& arguments, int timeoutMs,
                                                    QString* why) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *why =
            QStringLiteral("no pipe for swaybg: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return nullptr;
    }
    // Everything the child needs is made here, before the fork.
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> texts{path};
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    for (char** variable = environ; *variable; ++variable)
        if (!QByteArray(*variable).startsWith("WAYLAND_DEBUG="))
            texts.emplace_back(*variable);
    texts.emplace_back("WAYLAND_DEBUG=client");
    std::vector<char*> argv, envp;
    for (std::size_t i = 0; i < texts.size(); ++i)
        (i <= static_cast<std::size_t>(arguments.size()) ? argv : envp).push_back(texts[i].data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    const int writeFd = pipeFds[1];
    const pid_t pid =
        Launcher::instance().spawn([&] { return forkSwaybg(path, argv, envp, writeFd); });
    ::close(writeFd);
    if (pid < 0) {
        ::close(pipeFds[0]);
        *why = QStringLiteral("swaybg could not be started: %1")
                   .arg(QString::fromLocal8Bit(strerror(errno)));
        return nullptr;
    }
    std::unique_ptr<SwaybgProcess> process(new SwaybgProcess(pid, pipeFds[0]));
    if (!process->waitUntilDrawn(timeoutMs, why))
        return nullptr;
    return process;
}

bool SwaybgProcess::waitUntilDrawn(int timeoutMs, QString* why) {
    static const QRegularExpression layer(
        QStringLiteral(R"(-> \w+@\d+\.get_layer_surface\(new id \w+@\d+, wl_surface@(\d+))"));
    static const QRegularExpression attach(QStringLiteral(R"(-> wl_surface@(\d+)\.attach\((\w+))"));
    static const QRegularExpression commit(QStringLiteral(R"(-> wl_surface@(\d+)\.commit\(\))"));
    static const QRegularExpression request(QStringLiteral(R"(^\[\s*\d+\.\d+\])"));

    QSet<QString> surfaces, attached, drawn;
    QString lastMessage;
    QByteArray pending;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            *why = surfaces.isEmpty()
                       ? QStringLiteral("swaybg made no background within %1 ms (no output "
                                        "matched, or the compositor has no layer-shell)")
                             .arg(timeoutMs)
                       : QStringLiteral("swaybg did not draw within %1 ms").arg(timeoutMs);
            return false;
        }
        pollfd ready{m_errorFd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 200)));
        if (polled < 0 && errno != EINTR) {
            *why = QStringLiteral("swaybg could not be followed");
            return false;
        }
        if (polled <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(m_errorFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // Its end closed: it has ended without drawing.
            *why = lastMessage.isEmpty()
                       ? QStringLiteral("swaybg ended without drawing")
                       : QStringLiteral("swaybg ended without drawing: %1").arg(lastMessage);
            return false;
        }
        pending.append(buffer, got);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(newline)).trimmed();
            pending.remove(0, newline + 1);
            if (!request.match(line).hasMatch()) {
                if (!line.isEmpty())
                    lastMessage = line;
                continue;
            }
            if (const auto made = layer.match(line); made.hasMatch()) {
                surfaces.insert(made.captured(1));
            } else if (const auto given = attach.match(line); given.hasMatch()) {
                if (given.captured(2) == u"nil")
                    attached.remove(given.captured(1));
                else
                    attached.insert(given.captured(1));
            } else if (const auto committed = commit.match(line); committed.hasMatch()) {
                if (attached.contains(committed.captured(1)))
                    drawn.insert(committed.captured(1));
            }
        }
        if (!surfaces.isEmpty() && drawn.contains(surfaces)) {
            // Nothing reads the rest: the pipe's end goes, and swaybg ignores that.
            ::close(m_errorFd);
            m_errorFd = -1;
            return true;
        }
    }
}

SwaybgProcess::~SwaybgProcess() {
    if (m_errorFd >= 0)
        ::close(m_errorFd);
    ::kill(m_pid, SIGTERM);
    if (!reap(m_pid, 2000)) {
        ::kill(m_pid, SIGKILL);
        reap(m_pid, 2000);
    }
}
