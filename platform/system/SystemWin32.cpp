#include <windows.h>

#include "platform/system/System.h"

void LowerCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

void* MapPages(std::size_t size) { return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void UnmapPages(void* pages, std::size_t) { VirtualFree(pages, 0, MEM_RELEASE); }
