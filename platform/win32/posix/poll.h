#pragma once
#include "platform/win32/posix/PosixShim.h"

// Winsock's pollfd is for sockets; this one for descriptors. Files and the
// standard streams are always ready: poll returns at once.
struct orn_pollfd {
    int fd;
    short events;
    short revents;
};
#define pollfd orn_pollfd
#define poll orn_poll
int orn_poll(orn_pollfd* fds, unsigned long count, int timeoutMs);
#ifndef POLLIN
#define POLLIN 0x0100
#define POLLOUT 0x0010
#endif
