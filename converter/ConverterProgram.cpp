// First of all: glib uses `signals` as a name, which any Qt header defines as a keyword.
#include <glib.h>

#include "converter/ConverterProgram.h"

#include "conversion/ConversionRequest.h"
#include "converter/ImageConversion.h"
#include "converter/SandboxProbe.h"
#include "converter/VipsImageLibrary.h"
#include "platform/ProcessSandbox.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
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
    Descriptor() = default;
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
    int m_fd = -1;
};

// What the conversion reads and writes, opened before the sandbox closes the process off.
struct OpenFiles {
    Descriptor picture;
    Descriptor folder;
    Descriptor bitmap;
    std::string name; // of the bitmap, in `folder`
    unsigned char head[12] = {};
    std::size_t headSize = 0;
};

// The picture: a file that may not block (a FIFO) and does not become a terminal.
std::optional<std::string> openPicture(const std::string& path, OpenFiles& files) {
    files.picture.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (files.picture.get() < 0)
        return errno == ENOENT ? "cannot read the picture (no such file)"
                               : "cannot read the picture (not a readable file)";
    if (::fstat(files.picture.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return "cannot read the picture (not a readable file)";
    ::fcntl(files.picture.get(), F_SETFL, 0);
    const ssize_t headSize = ::pread(files.picture.get(), files.head, sizeof files.head, 0);
    files.headSize = headSize > 0 ? static_cast<std::size_t>(headSize) : 0;
    return std::nullopt;
}

// The bitmap, made now in its folder (once the sandbox is up nothing can be made any more),
// readable by the user alone like every file of the program's.
std::optional<std::string> openBitmap(const std::string& path, OpenFiles& files) {
    const std::size_t slash = path.rfind('/');
    const std::string folderName =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    files.name = slash == std::string::npos ? path : path.substr(slash + 1);
    files.folder.reset(::open(folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (files.name.empty() || files.folder.get() < 0)
        return "cannot open the bitmap's folder: " + std::string(std::strerror(errno));
    files.bitmap.reset(::openat(files.folder.get(), files.name.c_str(),
                                O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                0600));
    struct stat info {};
    if (files.bitmap.get() < 0)
        return "cannot write the bitmap: " + std::string(std::strerror(errno));
    if (::fstat(files.bitmap.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return "cannot write the bitmap: not a regular file";
    return std::nullopt;
}

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

// The test actions that make this program fail in the ways a hostile picture could.
void misbehave(const std::string& action, int bitmap) {
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

    OpenFiles files;
    if (const auto reason = openPicture(request->picture, files))
        return failWith(*reason);
    if (const auto reason = openBitmap(request->bitmap, files))
        return failWith(*reason);
    // Until the sandbox is up the bitmap can still be removed; afterwards the caller does it.
    auto failAndRemove = [&files](const std::string& reason) {
        ::unlinkat(files.folder.get(), files.name.c_str(), 0);
        return failWith(reason);
    };
    if (!VipsImageLibrary::startForOnePicture(
            VipsImageLibrary::looksLikeHeif(files.head, files.headSize)))
        return failAndRemove("cannot start the picture library");
    files.folder.reset();
    const ProcessSandbox::Result sandbox = ProcessSandbox::enter();
    if (!sandbox.entered)
        return failWith("cannot enter the sandbox: " + sandbox.error);
    if (!sandbox.notice.empty())
        say(STDERR_FILENO, "notice: " + sandbox.notice);

    try {
        if (request->test.starts_with("probe:"))
            SandboxProbe::run(request->test.substr(6), files.picture.get(), files.bitmap.get());
        else
            misbehave(request->test, files.bitmap.get());
    } catch (const std::bad_alloc&) {
        return failWith(withMemoryLimit("out of memory"));
    }

    VipsImageLibrary library;
    const std::optional<std::string> reason = ImageConversion(library).convert(
        files.picture.get(), files.bitmap.get(), request->layout, request->screen);
    if (reason)
        return failWith(withMemoryLimit(*reason));
    return kWritten;
}
