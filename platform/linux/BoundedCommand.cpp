#include "platform/linux/BoundedCommand.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Reads what is there without blocking; false once the writer has closed its end.
bool drain(int fd, QByteArray* output) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            if (output && output->size() < BoundedCommand::kOutputLimit)
                output->append(buffer, std::min<qsizetype>(got, BoundedCommand::kOutputLimit -
                                                                    output->size()));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && errno == EAGAIN;
    }
}

} // namespace

int BoundedCommand::run(const QString& program, const QStringList& arguments, int timeoutMs,
                        QByteArray* output) {
    std::vector<QByteArray> texts;
    texts.push_back(QFile::encodeName(program));
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (output && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output)
        ::close(pipeFds[1]);
    struct CloseRead {
        int fd;
        ~CloseRead() {
            if (fd >= 0)
                ::close(fd);
        }
    } closeRead{pipeFds[0]};
    if (spawned != 0)
        return -1;

    // A short poll keeps this free of signals and of any event loop.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool reading = output != nullptr;
    int status = 0;
    for (;;) {
        if (reading)
            reading = drain(closeRead.fd, output);
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return -1;
        }
        if (reading) {
            pollfd ready{closeRead.fd, POLLIN, 0};
            ::poll(&ready, 1, 10);
        } else {
            ::usleep(10000);
        }
    }
    // What the program wrote just before it ended.
    if (reading)
        drain(closeRead.fd, output);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
