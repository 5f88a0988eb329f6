#pragma once
// The Windows build's stand-ins for the few POSIX calls that files of capture/
// and platform/ still make, on Win32 (PosixShim.cpp). Only the Windows build
// puts this folder on the include path; each call keeps its POSIX meaning for
// the way the project uses it (regular files, the standard streams).

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <io.h>
#include <sys/types.h>

// Every descriptor the project opens holds bytes and is not inherited.
#undef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#ifndef O_NONBLOCK
#define O_NONBLOCK 0  // Windows has no FIFOs that an open could wait on
#endif
#ifndef O_DIRECTORY
#define O_DIRECTORY 0x200000  // an open with it fails: directories are made durable by the rename itself
#endif
#ifndef F_GETFL
#define F_GETFL 3
#define F_SETFL 4
#endif

int fcntl(int fd, int command, ...);
int fsync(int fd);
int mkdir(const char* path, int mode);
pid_t gettid();
// A new directory from a template ending in XXXXXX, as POSIX makes it.
char* mkdtemp(char* pattern);

// Replaces an existing target as POSIX rename does (MoveFileEx).
int orn_rename(const char* from, const char* to);

struct iovec {
    void* iov_base;
    std::size_t iov_len;
};
ssize_t writev(int fd, const iovec* vector, int count);


#define PRIO_PROCESS 0
using id_t = unsigned;
int getpriority(int which, id_t who);
int setpriority(int which, id_t who, int value);

#define PROT_READ 1
#define PROT_WRITE 2
#define MAP_PRIVATE 2
#define MAP_ANONYMOUS 0x20
#define MAP_FAILED (reinterpret_cast<void*>(-1))
void* mmap(void* address, std::size_t length, int protection, int flags, int fd, off_t offset);
int munmap(void* address, std::size_t length);

#include <cstdio>
#define rename orn_rename
