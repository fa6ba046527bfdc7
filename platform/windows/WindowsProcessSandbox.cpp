#include "platform/ProcessSandbox.h"

#include <windows.h>

namespace {

// The process's mandatory integrity level (a SECURITY_MANDATORY_*_RID); -1 when unknown.
long integrityLevel(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size == 0)
        return -1;
    std::string buffer(size, '\0');
    auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data());
    if (!::GetTokenInformation(token, TokenIntegrityLevel, label, size, &size) ||
        !::IsValidSid(label->Label.Sid))
        return -1;
    const UCHAR count = *::GetSidSubAuthorityCount(label->Label.Sid);
    return count == 0 ? -1 : static_cast<long>(*::GetSidSubAuthority(label->Label.Sid, count - 1));
}

// Lowers the process to low integrity, where the program that started it could not: from then
// on it can write to nothing of the user's but through the handles it holds.
bool lowerIntegrity(std::string& notice) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, &token)) {
        notice = "running at the integrity level it was started with (no token)";
        return true;
    }
    const long level = integrityLevel(token);
    if (level < 0 || level > SECURITY_MANDATORY_LOW_RID) {
        SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
        PSID low = nullptr;
        TOKEN_MANDATORY_LABEL label{};
        bool lowered = ::AllocateAndInitializeSid(&authority, 1, SECURITY_MANDATORY_LOW_RID, 0, 0,
                                                  0, 0, 0, 0, 0, &low);
        if (lowered) {
            label.Label.Attributes = SE_GROUP_INTEGRITY;
            label.Label.Sid = low;
            lowered = ::SetTokenInformation(token, TokenIntegrityLevel, &label,
                                            sizeof label + ::GetLengthSid(low));
            ::FreeSid(low);
        }
        if (!lowered || integrityLevel(token) != SECURITY_MANDATORY_LOW_RID)
            notice = "running above low integrity: the system did not lower it";
    }
    ::CloseHandle(token);
    return true;
}

// Of the mitigations a process may take for itself, those a picture decoder never needs: no
// child processes, no images from remote or low-integrity files, no extension points. Where
// the system has none of them the job object still forbids child processes.
void mitigate() {
    PROCESS_MITIGATION_CHILD_PROCESS_POLICY children{};
    children.NoChildProcessCreation = 1;
    ::SetProcessMitigationPolicy(ProcessChildProcessPolicy, &children, sizeof children);
    PROCESS_MITIGATION_IMAGE_LOAD_POLICY images{};
    images.NoRemoteImages = 1;
    images.NoLowMandatoryLabelImages = 1;
    ::SetProcessMitigationPolicy(ProcessImageLoadPolicy, &images, sizeof images);
    PROCESS_MITIGATION_EXTENSION_POINT_DISABLE_POLICY extensions{};
    extensions.DisableExtensionPoints = 1;
    ::SetProcessMitigationPolicy(ProcessExtensionPointDisablePolicy, &extensions,
                                 sizeof extensions);
}

} // namespace

ProcessSandbox::Result ProcessSandbox::enter() {
    Result result;
    // A crash ends the process with its exception code; no dialog waits for a user.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Nor is a debugger started for it (Wine starts one despite the error mode).
    ::SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* exception) -> LONG {
        ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
        return EXCEPTION_EXECUTE_HANDLER;
    });
    result.entered = lowerIntegrity(result.notice);
    mitigate();
    return result;
}

std::string ProcessSandbox::memoryLimit() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits, nullptr) ||
        !(limits.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_PROCESS_MEMORY))
        return {};
    return "the job's memory limit of " + std::to_string(limits.ProcessMemoryLimit >> 20) + " MiB";
}
