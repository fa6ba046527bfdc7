#include "converter/ConverterProgram.h"

#include "conversion/ConversionRequest.h"
#include "converter/ImageConversion.h"
#include "converter/SystemImageLibrary.h"
#include "platform/ConverterFiles.h"
#include "platform/ProcessSandbox.h"
#include "platform/SandboxProbe.h"

#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

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

// "out of memory" says more with the limit that was reached.
std::string withMemoryLimit(std::string reason) {
    constexpr std::string_view kOutOfMemory = "out of memory";
    const std::size_t at = reason.find(kOutOfMemory);
    const std::string limit = ProcessSandbox::memoryLimit();
    if (at != std::string::npos && !limit.empty())
        reason.insert(at + kOutOfMemory.size(), " at " + limit);
    return reason;
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
    ConverterFiles files;
    if (const auto reason = files.open(request->picture, request->bitmap))
        return failWith(*reason);
    // Until the sandbox is up the bitmap can still be removed; afterwards the caller does it.
    if (!SystemImageLibrary::start(files.head(), files.headSize())) {
        files.removeBitmap();
        return failWith("cannot start the picture library");
    }
    files.keepOnlyDescriptors();
    const ProcessSandbox::Result sandbox = ProcessSandbox::enter();
    if (!sandbox.entered)
        return failWith("cannot enter the sandbox: " + sandbox.error);
    if (!sandbox.notice.empty())
        say(STDERR_FILENO, "notice: " + sandbox.notice);

    try {
        if (request->test.starts_with("probe:"))
            SandboxProbe::run(request->test.substr(6), files.picture(), files.bitmap());
        else
            SandboxProbe::misbehave(request->test, files.bitmap());
    } catch (const std::bad_alloc&) {
        return failWith(withMemoryLimit("out of memory"));
    }

    const std::unique_ptr<ImageLibrary> library = SystemImageLibrary::make();
    const std::optional<std::string> reason = ImageConversion(*library).convert(
        files.picture(), files.bitmap(), request->layout, request->screen);
    if (reason)
        return failWith(withMemoryLimit(*reason));
    return kWritten;
}
