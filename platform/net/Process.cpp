#include "platform/net/Process.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

std::uint32_t CurrentProcessId()
{
    return static_cast<std::uint32_t>(getpid());
}

void SleepMilliseconds(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    timespec rest{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}
