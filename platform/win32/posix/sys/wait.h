#pragma once
// No fork on Windows: it fails, and there is never a child to wait for.
#include "platform/win32/posix/PosixShim.h"

inline pid_t fork() { return -1; }
inline pid_t waitpid(pid_t, int*, int) { return -1; }
#define WIFEXITED(status) (false && (status))
#define WEXITSTATUS(status) ((status) >> 8)
