#include "platform/windows/WindowsConverterProcess.h"

#include "bitmap/BitmapWriter.h"
#include "platform/ConverterReport.h"
#include "platform/windows/WindowsConverterHandles.h"

#include <QDir>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <optional>
#include <string>

namespace {

// How often what the system may not enforce of the job's limits is checked.
constexpr DWORD kCheckMilliseconds = 50;
// The exit code of a converter ended from here.
constexpr UINT kKilled = 0xDEAD;

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    HANDLE* put() {
        reset();
        return &m_handle;
    }
    HANDLE release() {
        const HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void reset(HANDLE handle = nullptr) {
        if (m_handle && m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
        m_handle = handle;
    }
    explicit operator bool() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

QString systemError(DWORD code = ::GetLastError()) {
    return QStringLiteral("error %1").arg(code);
}

// Names are UTF-8 bytes in a request.
std::wstring wide(const std::string& name) {
    return QString::fromUtf8(name).toStdWString();
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L'"';
}

// The largest bitmap the converter may write: the whole screen's (it never writes more than
// the screen shows), and a margin.
std::uint64_t fileSizeLimit(const ScreenArea& screen) {
    constexpr std::uint64_t kMargin = 1 << 20;
    const std::int64_t width = std::max(screen.screen.width(), 1);
    const std::int64_t height = std::max(screen.screen.height(), 1);
    return BitmapWriter::kHeadersSize + BitmapWriter::stride(width) * height + kMargin;
}

// What the converter is handed, opened here: at low integrity it could open none of them.
struct Files {
    Handle picture;        // inherited, read only
    Handle bitmap;         // this program's, to watch its size
    Handle bitmapForChild; // inherited, write only
    Handle nul;
    Handle reportRead;
    Handle reportWrite; // inherited, its standard error
};

std::optional<QString> openFiles(const ConversionRequest& request, Files& files) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    files.picture.reset(::CreateFileW(wide(request.picture).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = ::GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!files.picture)
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? QStringLiteral("cannot read the picture (no such file)")
                   : QStringLiteral("cannot read the picture (not a readable file)");
    if (::GetFileType(files.picture.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(files.picture.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("cannot read the picture (not a readable file)");
    files.bitmap.reset(::CreateFileW(wide(request.bitmap).c_str(), GENERIC_WRITE | GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!files.bitmap)
        return QStringLiteral("cannot write the bitmap: %1").arg(systemError());
    const HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, files.bitmap.get(), self, files.bitmapForChild.put(),
                           FILE_WRITE_DATA | FILE_APPEND_DATA | SYNCHRONIZE, TRUE, 0))
        return QStringLiteral("cannot write the bitmap: %1").arg(systemError());
    files.nul.reset(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inherited,
                                  OPEN_EXISTING, 0, nullptr));
    if (!::CreatePipe(files.reportRead.put(), files.reportWrite.put(), &inherited, 0) ||
        !::SetHandleInformation(files.reportRead.get(), HANDLE_FLAG_INHERIT, 0) || !files.nul)
        return QStringLiteral("cannot start the converter: no pipe");
    return std::nullopt;
}

// The converter's command line: its files as the handles it inherits.
std::wstring commandLine(const std::wstring& program, ConversionRequest request,
                         const Files& files) {
    request.picture = WindowsConverterHandles::nameOf(files.picture.get());
    request.bitmap = WindowsConverterHandles::nameOf(files.bitmapForChild.get());
    std::wstring line = quoted(program);
    for (const std::string& argument : request.arguments())
        line += L' ' + quoted(wide(argument));
    return line;
}

// This program's token without its privileges or administrators' rights, at low integrity:
// the converter can then write to none of the user's files and reach no process of the
// user's. Nothing, with a notice, where the system gives none.
HANDLE lowIntegrityToken(QStringList& notices) {
    Handle own;
    HANDLE restricted = nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    SID_AND_ATTRIBUTES denied{administrators, 0};
    const bool known =
        ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    if (!::OpenProcessToken(::GetCurrentProcess(),
                            TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY |
                                TOKEN_ADJUST_DEFAULT,
                            own.put()) ||
        !::CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE | LUA_TOKEN, known ? 1 : 0,
                                 known ? &denied : nullptr, 0, nullptr, 0, nullptr, &restricted)) {
        notices << QStringLiteral("running with this program's token: no restricted one (%1)")
                       .arg(systemError());
        return nullptr;
    }
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    PSID low = nullptr;
    bool lowered = ::AllocateAndInitializeSid(&authority, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0,
                                              0, 0, 0, &low);
    if (lowered) {
        TOKEN_MANDATORY_LABEL label{{low, SE_GROUP_INTEGRITY}};
        lowered = ::SetTokenInformation(restricted, TokenIntegrityLevel, &label,
                                        sizeof label + ::GetLengthSid(low));
        ::FreeSid(low);
    }
    if (!lowered)
        notices << QStringLiteral("running above low integrity (%1)").arg(systemError());
    return restricted;
}

// A job for one converter: its memory and CPU time, no other process, idle priority, none of
// the desktop's shared state; killed when the job's last handle closes.
HANDLE makeJob(const ConverterLimits& limits) {
    Handle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    JOBOBJECT_BASIC_LIMIT_INFORMATION& basic = info.BasicLimitInformation;
    basic.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_PROCESS_TIME |
                       JOB_OBJECT_LIMIT_ACTIVE_PROCESS | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                       JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
                       JOB_OBJECT_LIMIT_PRIORITY_CLASS;
    basic.PerProcessUserTimeLimit.QuadPart = static_cast<LONGLONG>(limits.cpu.count()) * 10000000;
    basic.ActiveProcessLimit = 1;
    basic.PriorityClass = IDLE_PRIORITY_CLASS;
    info.ProcessMemoryLimit = static_cast<SIZE_T>(limits.addressSpace);
    if (!job || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &info,
                                           sizeof info))
        return nullptr;
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui{
        JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS |
        JOB_OBJECT_UILIMIT_EXITWINDOWS | JOB_OBJECT_UILIMIT_GLOBALATOMS |
        JOB_OBJECT_UILIMIT_HANDLES | JOB_OBJECT_UILIMIT_READCLIPBOARD |
        JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_WRITECLIPBOARD};
    // Where the system has no such restrictions the token still keeps it from the user's.
    ::SetInformationJobObject(job.get(), JobObjectBasicUIRestrictions, &ui, sizeof ui);
    return job.release();
}

// Starts the converter suspended, with `token` where there is one, inheriting the handles of
// `files` it needs and no other.
bool startSuspended(const std::wstring& program, std::wstring command, HANDLE token,
                    const Files& files, PROCESS_INFORMATION& process, QStringList& notices) {
    HANDLE inherited[] = {files.picture.get(), files.bitmapForChild.get(), files.nul.get(),
                          files.reportWrite.get()};
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string attributes(size, '\0');
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    STARTUPINFOEXW start{};
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = files.nul.get();
    start.StartupInfo.hStdOutput = files.nul.get();
    start.StartupInfo.hStdError = files.reportWrite.get();
    if (size > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &size) &&
        ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                    sizeof inherited, nullptr, nullptr))
        start.lpAttributeList = list;
    const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW | IDLE_PRIORITY_CLASS |
                        (start.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    bool started = token && ::CreateProcessAsUserW(token, program.c_str(), command.data(), nullptr,
                                                   nullptr, TRUE, flags, nullptr, nullptr,
                                                   &start.StartupInfo, &process);
    if (!started) {
        if (token)
            notices << QStringLiteral("running with this program's token: the system refused "
                                      "the restricted one (%1)")
                           .arg(systemError());
        started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, flags,
                                   nullptr, nullptr, &start.StartupInfo, &process);
    }
    const DWORD error = ::GetLastError();
    if (start.lpAttributeList)
        ::DeleteProcThreadAttributeList(list);
    ::SetLastError(error);
    return started;
}

// How the converter ended, with what it said on its way.
struct Ending {
    enum class Killed { No, WallTime, CpuTime, Memory, FileSize };
    Killed killed = Killed::No;
    DWORD exitCode = 0;
    std::chrono::milliseconds cpu{0};
    std::string report;
};

// Appends what the report pipe holds now, up to ConverterReport::kMaxBytes in all; the rest
// is read and dropped, so that the converter never waits on a full pipe.
void readAvailable(HANDLE pipe, std::string& text) {
    char buffer[1024];
    DWORD available = 0;
    DWORD read = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
           ::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &read, nullptr) &&
           read > 0)
        text.append(buffer, std::min<std::size_t>(
                                read, ConverterReport::kMaxBytes -
                                          std::min(ConverterReport::kMaxBytes, text.size())));
}

std::chrono::milliseconds cpuTime(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(process, &created, &ended, &kernel, &user))
        return std::chrono::milliseconds(0);
    auto ticks = [](const FILETIME& t) {
        return std::uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime;
    };
    return std::chrono::milliseconds((ticks(kernel) + ticks(user)) / 10000);
}

// What it is killed for now, if anything: the limits the system may not enforce.
Ending::Killed pastALimit(HANDLE process, HANDLE bitmap, const ConverterLimits& limits,
                          std::uint64_t fileSize, std::chrono::steady_clock::time_point deadline) {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    LARGE_INTEGER written{};
    if (std::chrono::steady_clock::now() >= deadline)
        return Ending::Killed::WallTime;
    if (cpuTime(process) >= limits.cpu)
        return Ending::Killed::CpuTime;
    // Its committed memory; Wine tells it only as the page file's share.
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory) &&
        std::max(memory.PrivateUsage, memory.PagefileUsage) > limits.addressSpace)
        return Ending::Killed::Memory;
    if (::GetFileSizeEx(bitmap, &written) &&
        static_cast<std::uint64_t>(written.QuadPart) > fileSize)
        return Ending::Killed::FileSize;
    return Ending::Killed::No;
}

// Collects the report until the converter ends, and ends it past a limit.
void watch(HANDLE process, const Files& files, const ConverterLimits& limits,
           std::uint64_t fileSize, Ending& ending) {
    const auto deadline = std::chrono::steady_clock::now() + limits.wall;
    while (::WaitForSingleObject(process, kCheckMilliseconds) == WAIT_TIMEOUT) {
        readAvailable(files.reportRead.get(), ending.report);
        ending.killed = pastALimit(process, files.bitmap.get(), limits, fileSize, deadline);
        if (ending.killed != Ending::Killed::No) {
            ::TerminateProcess(process, kKilled);
            ::WaitForSingleObject(process, INFINITE);
            break;
        }
    }
    readAvailable(files.reportRead.get(), ending.report);
    ::GetExitCodeProcess(process, &ending.exitCode);
    ending.cpu = cpuTime(process);
}

QString seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0);
}

// Whether `bitmap` is as long as its header says: a converter that ended with success but did
// not write it whole was ended from outside (Wine tells such an end as success).
bool writtenWhole(HANDLE bitmap) {
    unsigned char header[6] = {};
    DWORD read = 0;
    LARGE_INTEGER size{};
    const LARGE_INTEGER start{};
    if (!::SetFilePointerEx(bitmap, start, nullptr, FILE_BEGIN) ||
        !::ReadFile(bitmap, header, sizeof header, &read, nullptr) || read != sizeof header ||
        !::GetFileSizeEx(bitmap, &size) || header[0] != 'B' || header[1] != 'M')
        return false;
    const std::uint32_t declared =
        header[2] | header[3] << 8 | header[4] << 16 | static_cast<std::uint32_t>(header[5]) << 24;
    return static_cast<std::uint64_t>(size.QuadPart) == declared;
}

// What the end of a converter that ran to its end means.
ConverterProcess::Result resultOf(const Ending& ending, const ConverterLimits& limits,
                                  std::uint64_t fileSize, HANDLE bitmap) {
    using Killed = Ending::Killed;
    ConverterProcess::Result result;
    const QString reason = ConverterReport::reasonIn(ending.report, result.notices);
    // The converter's own exit codes: written, failed, not understood.
    const bool ownCode = ending.exitCode <= 2;
    if (ending.killed == Killed::WallTime)
        result.reason = QStringLiteral("killed: wall time limit (%1 s)").arg(seconds(limits.wall));
    else if (ending.killed == Killed::CpuTime || (!ownCode && ending.cpu >= limits.cpu))
        result.reason = QStringLiteral("killed: CPU time limit (%1 s)").arg(limits.cpu.count());
    else if (ending.killed == Killed::Memory)
        result.reason =
            QStringLiteral("killed: memory limit (%1 MiB)").arg(limits.addressSpace >> 20);
    else if (ending.killed == Killed::FileSize)
        result.reason = QStringLiteral("killed: file size limit (%1 bytes)").arg(fileSize);
    else if (ending.exitCode >= 0xC0000000)
        result.reason =
            QStringLiteral("crashed: exception 0x%1").arg(ending.exitCode, 8, 16, QLatin1Char('0'));
    else if (ending.exitCode != 0)
        result.reason =
            reason.isEmpty() ? QStringLiteral("ended with status %1").arg(ending.exitCode) : reason;
    else if (!writtenWhole(bitmap))
        result.reason = QStringLiteral("ended before the bitmap was written");
    else
        result.outcome = ConverterProcess::Result::Outcome::Converted;
    return result;
}

} // namespace

struct WindowsConverterProcess::Child {
    HANDLE process = nullptr;
    bool aborted = false;
};

WindowsConverterProcess::WindowsConverterProcess(QString program, ConverterLimits limits)
    : m_program(std::move(program)), m_limits(limits) {}

WindowsConverterProcess::~WindowsConverterProcess() {
    abort();
}

int WindowsConverterProcess::running() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_children.begin(), m_children.end(),
                                          [](const Child* child) { return child->process; }));
}

void WindowsConverterProcess::abort() {
    std::lock_guard lock(m_mutex);
    for (Child* child : m_children) {
        child->aborted = true;
        if (child->process)
            ::TerminateProcess(child->process, kKilled);
    }
}

ConverterProcess::Result WindowsConverterProcess::convert(const ConversionRequest& request) {
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
        if (child.process)
            ::CloseHandle(child.process);
        if (child.aborted)
            result = Result{Result::Outcome::Stopped, {}, {}};
    }
    // A converter that was killed, or failed at low integrity, cannot remove what was begun.
    if (result.outcome != Result::Outcome::Converted)
        ::DeleteFileW(wide(request.bitmap).c_str());
    return result;
}

ConverterProcess::Result WindowsConverterProcess::run(const ConversionRequest& request,
                                                      Child& child) {
    Result result;
    const std::wstring program = QDir::toNativeSeparators(m_program).toStdWString();
    if (::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
        result.reason = QStringLiteral("cannot start the converter program %1: %2")
                            .arg(m_program, systemError());
        return result;
    }
    Files files;
    if (const std::optional<QString> reason = openFiles(request, files)) {
        result.reason = *reason;
        return result;
    }
    // Killed with it when this program ends: the job's handle is this call's alone.
    const Handle job(makeJob(m_limits));
    const Handle token(lowIntegrityToken(result.notices));
    PROCESS_INFORMATION started{};
    if (!job || !startSuspended(program, commandLine(program, request, files), token.get(), files,
                                started, result.notices)) {
        result.reason = QStringLiteral("cannot start the converter: %1").arg(systemError());
        return result;
    }
    const Handle thread(started.hThread);
    {
        std::lock_guard lock(m_mutex);
        child.process = started.hProcess;
    }
    // Nothing of it runs before it is in its job.
    if (!::AssignProcessToJobObject(job.get(), started.hProcess)) {
        result.reason = QStringLiteral("cannot confine the converter: %1").arg(systemError());
        ::TerminateProcess(started.hProcess, kKilled);
        ::WaitForSingleObject(started.hProcess, INFINITE);
        return result;
    }
    files.picture.reset();
    files.bitmapForChild.reset();
    files.nul.reset();
    files.reportWrite.reset();
    {
        std::lock_guard lock(m_mutex);
        if (child.aborted)
            ::TerminateProcess(started.hProcess, kKilled);
    }
    ::ResumeThread(started.hThread);
    const std::uint64_t fileSize = fileSizeLimit(request.screen);
    Ending ending;
    watch(started.hProcess, files, m_limits, fileSize, ending);
    return resultOf(ending, m_limits, fileSize, files.bitmap.get());
}
