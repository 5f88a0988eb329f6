#pragma once
// The few process services that the logic libraries need from the system,
// behind names of their own: a lower priority for the capture thread, whole
// pages of memory for the datagram slabs, the local time, and the standard
// streams of the command-line decoder.

#include <cstddef>
#include <ctime>

// Moves the calling thread (only it) to the lowest priority that needs no
// privilege; a failure leaves it where it was.
void LowerCurrentThreadPriority();

// Zeroed, private pages of `size` bytes; nullptr when the system has none.
void* MapPages(std::size_t size);
void UnmapPages(void* pages, std::size_t size);

// The local time of `when`; false where the system has none for it.
bool LocalTime(std::time_t when, std::tm& local);

// Writes all `size` bytes to descriptor fd (a standard stream), going on
// after an interruption; false when the descriptor takes no more.
bool WriteToDescriptor(int fd, const void* bytes, std::size_t size);

// Whether descriptor fd is a terminal, where progress may be drawn.
bool IsTerminal(int fd);
