#pragma once
// No users or groups to switch to on Windows: every call fails, so code that
// would run as another user finds out.
#include "platform/win32/posix/PosixShim.h"

using gid_t = unsigned;
using uid_t = unsigned;
inline int setgroups(std::size_t, const gid_t*) { return -1; }
inline int setresgid(gid_t, gid_t, gid_t) { return -1; }
inline int setresuid(uid_t, uid_t, uid_t) { return -1; }
