#pragma once
// The Windows build's stand-ins for the few POSIX names that shared sources
// still use (the capture file's open, the tests' scratch directories), on
// Win32 (PosixShim.cpp). Only the Windows build puts this folder on the
// include path.

#include <cstddef>
#include <fcntl.h>
#include <io.h>
#include <sys/types.h>

// Every descriptor the project opens holds bytes and is not inherited.
#undef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#ifndef O_NONBLOCK
#define O_NONBLOCK 0  // Windows has no FIFOs that an open could wait on
#endif
#ifndef F_GETFL
#define F_GETFL 3
#define F_SETFL 4
#endif

int fcntl(int fd, int command, ...);

// A new directory from a template ending in XXXXXX, as POSIX makes it.
char* mkdtemp(char* pattern);
