#pragma once

#include <fcntl.h>

// open() flags that not every C library has. Where one is missing, so is what it guards
// against: Windows has no FIFOs or terminals to open by mistake, but its C library must be told
// to keep a file's bytes as they are and not to pass the descriptor to child processes.
#ifndef O_CLOEXEC
#ifdef O_NOINHERIT
#define O_CLOEXEC O_NOINHERIT
#else
#define O_CLOEXEC 0
#endif
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif
