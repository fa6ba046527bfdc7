// Built into the program and its test programs in a ThreadSanitizer build only.
//
// QProcess starts a child with clone(CLONE_VM | CLONE_VFORK), which runs in the parent's memory
// until it execs. ThreadSanitizer's wrapper of clone() takes every child for a forked copy: it
// runs its after-fork bookkeeping in the child and again in the parent, on the one thread
// state they share, and leaves the starting thread ignoring every lock it takes afterwards.
// A test that started sway through QProcess and then used the swaybg launcher from the same
// thread was reported for a race on the launcher's queue, which its mutex guards; the program
// runs the user's change command the same way. This definition in the executable comes
// before the wrapper in symbol lookup and calls glibc's own clone, as the converter's start
// does.
#include <cstdarg>
#include <sys/types.h>

extern "C" int __clone(int (*function)(void*), void* stack, int flags, void* argument, ...);

extern "C" int clone(int (*function)(void*), void* stack, int flags, void* argument, ...) {
    // The optional arguments are read whether passed or not; glibc uses each only when the
    // caller's flags ask for it, and then the caller passed it.
    va_list rest;
    va_start(rest, argument);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    return __clone(function, stack, flags, argument, parentTid, tls, childTid);
}
