#include "platform/ProcessSandbox.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <linux/sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Landlock's interface, spelt out here because the system headers may predate the parts of it
// that newer kernels offer (network rules, scopes); the numbers are the kernel's and fixed.
namespace landlock {
constexpr std::uint32_t kCreateRulesetVersion = 1U << 0;
constexpr int kRulePathBeneath = 1;

constexpr std::uint64_t kExecute = 1ULL << 0, kWriteFile = 1ULL << 1, kReadFile = 1ULL << 2,
                        kReadDir = 1ULL << 3, kRemoveDir = 1ULL << 4, kRemoveFile = 1ULL << 5,
                        kMakeChar = 1ULL << 6, kMakeDir = 1ULL << 7, kMakeReg = 1ULL << 8,
                        kMakeSock = 1ULL << 9, kMakeFifo = 1ULL << 10, kMakeBlock = 1ULL << 11,
                        kMakeSym = 1ULL << 12, kRefer = 1ULL << 13, kTruncate = 1ULL << 14,
                        kIoctlDev = 1ULL << 15;
constexpr std::uint64_t kBindTcp = 1ULL << 0, kConnectTcp = 1ULL << 1;
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0, kScopeSignal = 1ULL << 1;

struct RulesetAttr {
    std::uint64_t handledAccessFs;
    std::uint64_t handledAccessNet; // ABI 4
    std::uint64_t scoped;           // ABI 6
};

struct [[gnu::packed]] PathBeneathAttr {
    std::uint64_t allowedAccess;
    std::int32_t parentFd;
};

long createRuleset(const RulesetAttr* attr, std::size_t size, std::uint32_t flags) {
    return ::syscall(SYS_landlock_create_ruleset, attr, size, flags);
}
} // namespace landlock

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

int threadCount() {
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(tasks))
        count += entry->d_name[0] != '.' ? 1 : 0;
    ::closedir(tasks);
    return count;
}

// Everything on the file system is out of reach but removing files from `removableFolder`;
// TCP, abstract sockets and signals to other processes too, as far as the kernel knows them.
// Nothing when the kernel has no Landlock (then `notice` says so); false on any other failure.
bool restrictFileSystem(int removableFolder, std::string& error, std::string& notice) {
    using namespace landlock;
    const long abi = createRuleset(nullptr, 0, kCreateRulesetVersion);
    if (abi < 0) {
        if (errno != ENOSYS && errno != EOPNOTSUPP) {
            error = systemError("Landlock");
            return false;
        }
        notice = "running without the file-system sandbox: the kernel offers no Landlock (" +
                 std::string(std::strerror(errno)) + ")";
        return true;
    }
    RulesetAttr ruleset{};
    ruleset.handledAccessFs = kExecute | kWriteFile | kReadFile | kReadDir | kRemoveDir |
                              kRemoveFile | kMakeChar | kMakeDir | kMakeReg | kMakeSock |
                              kMakeFifo | kMakeBlock | kMakeSym;
    if (abi >= 2)
        ruleset.handledAccessFs |= kRefer;
    if (abi >= 3)
        ruleset.handledAccessFs |= kTruncate;
    if (abi >= 5)
        ruleset.handledAccessFs |= kIoctlDev;
    std::size_t size = sizeof ruleset.handledAccessFs;
    if (abi >= 4) {
        ruleset.handledAccessNet = kBindTcp | kConnectTcp;
        size = offsetof(RulesetAttr, scoped);
    }
    if (abi >= 6) {
        ruleset.scoped = kScopeAbstractUnixSocket | kScopeSignal;
        size = sizeof ruleset;
    }
    const int rulesetFd = static_cast<int>(createRuleset(&ruleset, size, 0));
    if (rulesetFd < 0) {
        error = systemError("Landlock ruleset");
        return false;
    }
    const PathBeneathAttr folder{kRemoveFile, removableFolder};
    const bool restricted =
        ::syscall(SYS_landlock_add_rule, rulesetFd, kRulePathBeneath, &folder, 0) == 0 &&
        ::syscall(SYS_landlock_restrict_self, rulesetFd, 0) == 0;
    if (!restricted)
        error = systemError("Landlock restriction");
    ::close(rulesetFd);
    return restricted;
}

// System calls that nothing in a picture conversion needs and that would let a subverted
// converter reach beyond it. Refused with an error (not a kill), so an attempt fails plainly.
bool restrictSystemCalls(std::string& error) {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ALLOW);
    if (!filter) {
        error = "seccomp: cannot make a filter";
        return false;
    }
    const std::uint32_t refused = SCMP_ACT_ERRNO(EPERM);
    int failures = ::seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1) != 0 ? 1 : 0;
    for (const int call : {SCMP_SYS(socket),
                           SCMP_SYS(socketpair),
                           SCMP_SYS(execve),
                           SCMP_SYS(execveat),
                           SCMP_SYS(fork),
                           SCMP_SYS(vfork),
                           SCMP_SYS(ptrace),
                           SCMP_SYS(process_vm_readv),
                           SCMP_SYS(process_vm_writev),
                           SCMP_SYS(io_uring_setup),
                           SCMP_SYS(io_uring_enter),
                           SCMP_SYS(io_uring_register),
                           SCMP_SYS(bpf),
                           SCMP_SYS(perf_event_open),
                           SCMP_SYS(userfaultfd),
                           SCMP_SYS(keyctl),
                           SCMP_SYS(add_key),
                           SCMP_SYS(request_key),
                           SCMP_SYS(mount),
                           SCMP_SYS(umount2),
                           SCMP_SYS(pivot_root),
                           SCMP_SYS(chroot),
                           SCMP_SYS(unshare),
                           SCMP_SYS(setns),
                           SCMP_SYS(open_by_handle_at),
                           SCMP_SYS(kexec_load),
                           SCMP_SYS(init_module),
                           SCMP_SYS(finit_module)})
        failures += ::seccomp_rule_add(filter, refused, call, 0) != 0 ? 1 : 0;
    // Threads may still be made, processes not. clone3 passes its flags in memory that a
    // filter cannot read: it is refused as unknown, and the C library falls back to clone.
    failures += ::seccomp_rule_add(filter, refused, SCMP_SYS(clone), 1,
                                   SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)) != 0;
    failures += ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) != 0;
    // Typing into a terminal that the converter was started from.
    failures += ::seccomp_rule_add(filter, refused, SCMP_SYS(ioctl), 1,
                                   SCMP_A1(SCMP_CMP_MASKED_EQ, 0xFFFFFFFFU, TIOCSTI)) != 0;
    if (failures == 0 && ::seccomp_load(filter) != 0)
        failures = 1;
    ::seccomp_release(filter);
    if (failures != 0)
        error = "seccomp: cannot install the filter";
    return failures == 0;
}

} // namespace

ProcessSandbox::Result ProcessSandbox::enter(int removableFolder) {
    Result result;
    // Landlock confines only the thread that asks; threads started later inherit it.
    if (threadCount() != 1) {
        result.error = "the sandbox needs a process with one thread";
        return result;
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        result.error = systemError("no new privileges");
        return result;
    }
    result.entered = restrictFileSystem(removableFolder, result.error, result.notice) &&
                     restrictSystemCalls(result.error);
    return result;
}
