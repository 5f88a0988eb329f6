#pragma once
// The process services a probe needs: its identifier and a plain sleep.

#include <cstdint>

std::uint32_t CurrentProcessId();
// Sleeps the whole time, also when a signal interrupts the sleep.
void SleepMilliseconds(int milliseconds);
