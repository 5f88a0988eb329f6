#include "platform/msgbox/MessageBox.h"

#include <unistd.h>

#include <climits>

std::string MessageBoxTitle() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "orn";
    std::string exe(path, static_cast<size_t>(n));
    std::string::size_type slash = exe.rfind('/');
    std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
    return name.empty() ? "orn" : name;
}
