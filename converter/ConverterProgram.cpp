// First of all: glib uses `signals` as a name, which any Qt header defines as a keyword.
#include <glib.h>

#include "converter/ConverterProgram.h"

#include "conversion/ConversionRequest.h"
#include "converter/ImageConversion.h"
#include "converter/VipsImageLibrary.h"
#include "platform/ProcessSandbox.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWritten = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void say(int fd, std::string line) {
    line += '\n';
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n <= 0 && errno != EINTR)
            return;
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

int failWith(const std::string& reason) {
    say(STDERR_FILENO, reason);
    return kFailed;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// "out of memory" says more with the limit that was reached.
std::string withMemoryLimit(std::string reason) {
    constexpr std::string_view kOutOfMemory = "out of memory";
    rlimit limit{};
    const std::size_t at = reason.find(kOutOfMemory);
    if (at != std::string::npos && ::getrlimit(RLIMIT_AS, &limit) == 0 &&
        limit.rlim_cur != RLIM_INFINITY)
        reason.insert(at + kOutOfMemory.size(), " at the address-space limit of " +
                                                    std::to_string(limit.rlim_cur >> 20) + " MiB");
    return reason;
}

// What a test asks for once the sandbox is up: every attempt that the sandbox should refuse,
// one line each on standard output.
void probeSandbox(const std::string& folder) {
    auto tell = [](const char* what, bool allowed) {
        say(STDOUT_FILENO,
            std::string("probe ") + what + ": " +
                (allowed ? "allowed" : std::string("refused (") + std::strerror(errno) + ')'));
    };
    const std::string name = folder + "/probe-written";
    const int written = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    tell("write", written >= 0);
    const int read = ::open("/etc/passwd", O_RDONLY | O_CLOEXEC);
    tell("read", read >= 0);
    const int tcp = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    tell("socket", tcp >= 0);
    const int local = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    tell("unix socket", local >= 0);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    tell("process", child >= 0);
    for (const int fd : {written, read, tcp, local})
        if (fd >= 0)
            ::close(fd);
    // Last: when it is allowed, this program ends here.
    const char* program[] = {"/bin/true", nullptr};
    ::execv(program[0], const_cast<char* const*>(program));
    tell("run", false);
}

// The test actions that make this program fail in the ways a hostile picture could.
void misbehave(const std::string& action) {
    if (action == "crash") {
        std::raise(SIGSEGV);
    } else if (action == "hang") {
        for (;;)
            ::pause();
    } else if (action == "spin") {
        volatile unsigned long turns = 0;
        for (;;)
            turns = turns + 1;
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

} // namespace

int ConverterProgram::run(int argc, const char* const* argv) {
    std::string error;
    const std::optional<ConversionRequest> request = ConversionRequest::parse(
        std::span<const char* const>(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)),
        &error);
    if (!request) {
        say(STDERR_FILENO, "usage: tessaron-convert [--layout N] [--screen WxH] "
                           "[--work-area L,T,R,B] [--fit-color RRGGBB] [--never-enlarge 0|1] "
                           "[--smart-crop 0|1] [--desktop L,T,R,B --place L,T,R,B] [--] "
                           "PICTURE BITMAP (" +
                               error + ")");
        return kUsage;
    }
    // Whatever the libraries would log: the one line this program writes says it all.
    g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    g_log_set_writer_func(
        [](GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; },
        nullptr, nullptr);

    // The picture: a file that may not block (a FIFO) and does not become a terminal.
    const Descriptor picture(
        ::open(request->picture.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (picture.get() < 0)
        return failWith(errno == ENOENT ? "cannot read the picture (no such file)"
                                        : "cannot read the picture (not a readable file)");
    if (::fstat(picture.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return failWith("cannot read the picture (not a readable file)");
    ::fcntl(picture.get(), F_SETFL, 0);
    unsigned char head[12] = {};
    const ssize_t headSize = ::pread(picture.get(), head, sizeof head, 0);

    // The bitmap, made now in its folder: once the sandbox is up nothing can be made any more.
    const std::string& path = request->bitmap;
    const std::size_t slash = path.rfind('/');
    const std::string folderName =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const Descriptor folder(::open(folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (name.empty() || folder.get() < 0)
        return failWith("cannot open the bitmap's folder: " + std::string(std::strerror(errno)));
    const Descriptor bitmap(
        ::openat(folder.get(), name.c_str(),
                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    if (bitmap.get() < 0)
        return failWith("cannot write the bitmap: " + std::string(std::strerror(errno)));
    if (::fstat(bitmap.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return failWith("cannot write the bitmap: not a regular file");
    auto failAndRemove = [&](const std::string& reason) {
        ::unlinkat(folder.get(), name.c_str(), 0);
        return failWith(reason);
    };

    if (!VipsImageLibrary::startForOnePicture(
            VipsImageLibrary::looksLikeHeif(head, headSize > 0 ? std::size_t(headSize) : 0)))
        return failAndRemove("cannot start the picture library");
    const ProcessSandbox::Result sandbox = ProcessSandbox::enter(folder.get());
    if (!sandbox.entered)
        return failAndRemove("cannot enter the sandbox: " + sandbox.error);
    if (!sandbox.notice.empty())
        say(STDERR_FILENO, "notice: " + sandbox.notice);

    try {
        if (request->test.starts_with("probe:"))
            probeSandbox(request->test.substr(6));
        else
            misbehave(request->test);
    } catch (const std::bad_alloc&) {
        return failAndRemove(withMemoryLimit("out of memory"));
    }

    VipsImageLibrary library;
    const std::optional<std::string> reason = ImageConversion(library).convert(
        picture.get(), bitmap.get(), request->layout, request->screen);
    if (reason)
        return failAndRemove(withMemoryLimit(*reason));
    return kWritten;
}
