#include "platform/SandboxProbe.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

void tell(const char* what, bool allowed) {
    const std::string line =
        std::string("probe ") + what + ": " +
        (allowed ? "allowed" : "refused (" + std::string(std::strerror(errno)) + ')') + '\n';
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, line.data(), line.size());
}

// Succeeds when `fd` is a descriptor; closes it.
bool opened(int fd) {
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Making, changing and reaching files by name, and stretching the bitmap.
void probeFiles(const std::string& folder, int picture, int bitmap) {
    const std::string victim = folder + "/victim";
    tell("write", opened(::open((folder + "/probe-written").c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)));
    tell("read", opened(::open("/etc/passwd", O_RDONLY | O_CLOEXEC)));
    tell("chmod", ::chmod(victim.c_str(), 0666) == 0);
    tell("fchmod", ::fchmod(picture, 0666) == 0);
    tell("utimensat", ::utimensat(AT_FDCWD, victim.c_str(), nullptr, 0) == 0);
    tell("setxattr", ::setxattr(victim.c_str(), "user.probe", "x", 1, 0) == 0);
    tell("fsetxattr", ::fsetxattr(picture, "user.probe", "x", 1, 0) == 0);
    tell("truncate", ::truncate(victim.c_str(), 0) == 0);
    tell("ftruncate", ::ftruncate(bitmap, off_t{805} << 20) == 0);
    tell("rename", ::rename(victim.c_str(), (folder + "/renamed").c_str()) == 0);
    tell("link", ::link(victim.c_str(), (folder + "/linked").c_str()) == 0);
    tell("symlink", ::symlink(victim.c_str(), (folder + "/symlinked").c_str()) == 0);
    tell("mkdir", ::mkdir((folder + "/made").c_str(), 0700) == 0);
    tell("unlink", ::unlink(victim.c_str()) == 0);
    tell("memfd", opened(static_cast<int>(::syscall(SYS_memfd_create, "probe", MFD_CLOEXEC))));
}

// Reaching other processes (the parent above all), outliving the parent, and the network.
void probeProcesses() {
    const pid_t parent = ::getppid();
    tell("signal parent", ::kill(parent, 0) == 0);
    tell("signal parent thread", ::syscall(SYS_tgkill, parent, parent, 0) == 0);
    tell("signal group", ::kill(0, 0) == 0);
    tell("signal all", ::kill(-1, 0) == 0);
    tell("parent memory",
         opened(::open(("/proc/" + std::to_string(parent) + "/mem").c_str(), O_RDWR | O_CLOEXEC)));
    // Where the parent maps nothing, an allowed call fails only on the address.
    char byte = 0;
    iovec local{&byte, 1};
    iovec remote{reinterpret_cast<void*>(&probeProcesses), 1};
    const ssize_t read = ::process_vm_readv(parent, &local, 1, &remote, 1, 0);
    tell("read parent", read == 1 || (read < 0 && errno == EFAULT));
    tell("pidfd", opened(static_cast<int>(::syscall(SYS_pidfd_open, parent, 0))));
    tell("pdeathsig", ::prctl(PR_SET_PDEATHSIG, 0) == 0);
    tell("setsid", ::setsid() >= 0);
    tell("socket", opened(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)));
    tell("unix socket", opened(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)));
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    tell("process", child >= 0);
}

} // namespace

void SandboxProbe::run(const std::string& folder, int picture, int bitmap) {
    probeFiles(folder, picture, bitmap);
    probeProcesses();
    // Last: when it is allowed, this program ends here.
    const char* program[] = {"/bin/true", nullptr};
    ::execv(program[0], const_cast<char* const*>(program));
    tell("run", false);
}

void SandboxProbe::misbehave(const std::string& action, int bitmap) {
    if (action == "crash") {
        std::raise(SIGSEGV);
    } else if (action == "hang") {
        for (;;)
            ::pause();
    } else if (action == "spin") {
        volatile unsigned long turns = 0;
        for (;;)
            turns = turns + 1;
    } else if (action == "grow") {
        // Past any bitmap a screen needs: the file size limit ends it.
        for (off_t size = 1 << 20;; size *= 2)
            [[maybe_unused]] const ssize_t n = ::pwrite(bitmap, "", 1, size);
    } else if (action == "allocate") {
        std::vector<char*> held;
        for (;;) {
            char* block = new char[16 << 20];
            for (std::size_t i = 0; i < (16 << 20); i += 4096)
                block[i] = 1;
            held.push_back(block);
        }
    }
}
