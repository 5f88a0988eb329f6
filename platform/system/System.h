#pragma once
// The few process services that the logic libraries need from the system,
// behind names of their own: a lower priority for the capture thread, and
// whole pages of memory for the datagram slabs.

#include <cstddef>

// Moves the calling thread (only it) to the lowest priority that needs no
// privilege; a failure leaves it where it was.
void LowerCurrentThreadPriority();

// Zeroed, private pages of `size` bytes; nullptr when the system has none.
void* MapPages(std::size_t size);
void UnmapPages(void* pages, std::size_t size);
