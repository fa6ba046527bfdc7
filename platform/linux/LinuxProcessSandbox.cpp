#include "platform/ProcessSandbox.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <linux/sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// Defined by the runtime of any sanitizer (address, thread, undefined behaviour) in a build with
// one; null otherwise.
extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace {

// Landlock's interface, spelt out here because the system headers may predate the parts of it
// that newer kernels offer (network rules, scopes); the numbers are the kernel's and fixed.
namespace landlock {
constexpr std::uint32_t kCreateRulesetVersion = 1U << 0;

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

// Everything on the file system is out of reach; TCP, abstract sockets and signals to other
// processes too, as far as the kernel knows them. Nothing when the kernel has no Landlock (then
// `notice` says so); false on any other failure.
bool restrictFileSystem(std::string& error, std::string& notice) {
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
    // No rule: nothing on the file system is allowed.
    const int rulesetFd = static_cast<int>(createRuleset(&ruleset, size, 0));
    if (rulesetFd < 0) {
        error = systemError("Landlock ruleset");
        return false;
    }
    const bool restricted = ::syscall(SYS_landlock_restrict_self, rulesetFd, 0) == 0;
    if (!restricted)
        error = systemError("Landlock restriction");
    ::close(rulesetFd);
    return restricted;
}

// System calls that touch only this process, its memory and the descriptors it holds.
constexpr int kPlainCalls[] = {
    // reading, writing and seeking what is open
    SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(readv), SCMP_SYS(preadv), SCMP_SYS(write),
    SCMP_SYS(pwrite64), SCMP_SYS(writev), SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(dup),
    SCMP_SYS(fstat), SCMP_SYS(newfstatat), SCMP_SYS(statx),
    // memory and threads
    SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect),
    SCMP_SYS(madvise), SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list),
    SCMP_SYS(rseq), SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity),
    // what the process is and has
    SCMP_SYS(getpid), SCMP_SYS(getppid), SCMP_SYS(gettid), SCMP_SYS(getrandom), SCMP_SYS(sysinfo),
    SCMP_SYS(umask), SCMP_SYS(getrlimit),
    // time
    SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(nanosleep),
    SCMP_SYS(clock_nanosleep), SCMP_SYS(pause), SCMP_SYS(restart_syscall),
    // its own signal handling, and its end
    SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack),
    SCMP_SYS(exit), SCMP_SYS(exit_group)};

int allowPlainCalls(scmp_filter_ctx filter) {
    int failures = 0;
    for (const int call : kPlainCalls)
        failures += ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) != 0 ? 1 : 0;
    // A sanitizer's runtime tells whether memory may be read by writing it into a pipe.
    if (__sanitizer_print_stack_trace)
        for (const int call : {SCMP_SYS(pipe), SCMP_SYS(pipe2)})
            failures += ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) != 0 ? 1 : 0;
    return failures;
}

// System calls allowed only with some arguments: threads but no processes, signals only to
// this process, and of prctl only a thread's name. Refused with EPERM where the arguments are
// the only difference.
int allowNarrowedCalls(scmp_filter_ctx filter, pid_t self) {
    const auto rule = [filter](std::uint32_t action, int call, scmp_arg_cmp condition) {
        return ::seccomp_rule_add(filter, action, call, 1, condition) != 0 ? 1 : 0;
    };
    const std::uint32_t refused = SCMP_ACT_ERRNO(EPERM);
    constexpr scmp_datum_t kNamespaces = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS |
                                         CLONE_NEWIPC | CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET;
    int failures = rule(SCMP_ACT_ALLOW, SCMP_SYS(clone),
                        SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD | kNamespaces, CLONE_THREAD));
    failures += rule(refused, SCMP_SYS(clone), SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
    // clone3 passes its flags in memory that a filter cannot read: it is left unknown (ENOSYS),
    // and the C library falls back to clone.
    const auto own = static_cast<scmp_datum_t>(self);
    for (const int call : {SCMP_SYS(kill), SCMP_SYS(tgkill)}) {
        failures += rule(SCMP_ACT_ALLOW, call, SCMP_A0(SCMP_CMP_EQ, own));
        failures += rule(refused, call, SCMP_A0(SCMP_CMP_NE, own));
    }
    // Its own limits only: lowering them is harmless, raising them past the hard limit fails.
    failures += rule(SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), SCMP_A0(SCMP_CMP_EQ, 0));
    failures += rule(refused, SCMP_SYS(prlimit64), SCMP_A0(SCMP_CMP_NE, 0));
    failures += rule(SCMP_ACT_ALLOW, SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME));
    failures += rule(SCMP_ACT_ALLOW, SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_GET_NAME));
    // Every file it reads or writes is open by now: a name opens nothing, as under Landlock.
    for (const int call : {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2), SCMP_SYS(creat)})
        failures += ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0) != 0 ? 1 : 0;
    return failures;
}

// Only what the conversion needs once the sandbox is up. Everything else fails with ENOSYS, as
// on a kernel without the call, so that a library that would try a newer call falls back
// instead of failing; the calls allowed only in part fail with EPERM otherwise.
bool restrictSystemCalls(std::string& error) {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ERRNO(ENOSYS));
    if (!filter) {
        error = "seccomp: cannot make a filter";
        return false;
    }
    int failures = ::seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1) != 0 ? 1 : 0;
    failures += allowPlainCalls(filter) + allowNarrowedCalls(filter, ::getpid());
    if (failures == 0 && ::seccomp_load(filter) != 0)
        failures = 1;
    ::seccomp_release(filter);
    if (failures != 0)
        error = "seccomp: cannot install the filter";
    return failures == 0;
}

} // namespace

ProcessSandbox::Result ProcessSandbox::enter() {
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
    result.entered =
        restrictFileSystem(result.error, result.notice) && restrictSystemCalls(result.error);
    return result;
}

std::string ProcessSandbox::memoryLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return {};
    return "the address-space limit of " + std::to_string(limit.rlim_cur >> 20) + " MiB";
}
