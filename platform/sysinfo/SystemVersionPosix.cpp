// The running kernel's release, from uname.
#include <sys/utsname.h>

#include "platform/sysinfo/SystemVersion.h"

std::string CurrentKernelRelease() {
    utsname names{};
    if (uname(&names) != 0) return {};
    return names.release;
}

bool IsSupportedSystem() { return IsSupportedKernelRelease(CurrentKernelRelease()); }
