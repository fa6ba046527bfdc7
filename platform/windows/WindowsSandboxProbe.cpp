#include "platform/SandboxProbe.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <io.h>
#include <new>
#include <vector>

namespace {

void tell(const char* what, bool allowed) {
    const DWORD error = ::GetLastError();
    // As notices on standard error, which come back from a converter run in its job.
    std::string line = std::string("notice: probe ") + what + ": ";
    line += allowed ? std::string("allowed") : "refused (error " + std::to_string(error) + ')';
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::wstring wide(const std::string& utf8) {
    std::wstring text(utf8.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

bool opened(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || !handle)
        return false;
    ::CloseHandle(handle);
    return true;
}

DWORD parentId() {
    DWORD parent = 0;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == ::GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    ::CloseHandle(snapshot);
    return parent;
}

// Raising the process to medium integrity, which only a process at low integrity is refused.
bool raiseIntegrity() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_DEFAULT, &token))
        return false;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    PSID medium = nullptr;
    bool raised = ::AllocateAndInitializeSid(&authority, 1, SECURITY_MANDATORY_MEDIUM_RID, 0, 0, 0,
                                             0, 0, 0, 0, &medium);
    if (raised) {
        TOKEN_MANDATORY_LABEL label{};
        label.Label.Attributes = SE_GROUP_INTEGRITY;
        label.Label.Sid = medium;
        raised = ::SetTokenInformation(token, TokenIntegrityLevel, &label,
                                       sizeof label + ::GetLengthSid(medium));
        ::FreeSid(medium);
    }
    const DWORD error = ::GetLastError();
    ::CloseHandle(token);
    ::SetLastError(error);
    return raised;
}

// Starting a program, which the job allows no process of its.
bool startProgram() {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c exit 0";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &start, &process))
        return false;
    ::WaitForSingleObject(process.hProcess, 20000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace

void SandboxProbe::run(const std::string& folder, int, int) {
    const std::wstring place = wide(folder);
    const std::wstring victim = place + L"\\victim";
    tell("write", opened(::CreateFileW((place + L"\\probe-written").c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    tell("change", opened(::CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)));
    // Moved back where it was allowed, so that the next attempts find it.
    const std::wstring renamed = place + L"\\renamed";
    const bool moved = ::MoveFileW(victim.c_str(), renamed.c_str()) != 0;
    tell("rename", moved);
    if (moved)
        ::MoveFileW(renamed.c_str(), victim.c_str());
    tell("mkdir", ::CreateDirectoryW((place + L"\\made").c_str(), nullptr) != 0);
    tell("unlink", ::DeleteFileW(victim.c_str()) != 0);
    tell("open parent",
         opened(::OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION | PROCESS_TERMINATE, FALSE,
                              parentId())));
    tell("raise integrity", raiseIntegrity());
    tell("process", startProgram());
}

void SandboxProbe::misbehave(const std::string& action, int bitmap) {
    if (action == "crash") {
        ::RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } else if (action == "hang") {
        for (;;)
            ::Sleep(INFINITE);
    } else if (action == "spin") {
        volatile unsigned long turns = 0;
        for (;;)
            turns = turns + 1;
    } else if (action == "grow") {
        // Past any bitmap a screen needs: the program that started it ends it.
        const std::vector<char> block(1 << 20, 0);
        for (;;)
            ::_write(bitmap, block.data(), static_cast<unsigned>(block.size()));
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
