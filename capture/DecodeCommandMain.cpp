#include <unistd.h>

#include "capture/DecodeCommand.h"

int main(int argc, char** argv) {
    return RunDecodeCommand(std::vector<std::string>(argv + 1, argv + argc), STDOUT_FILENO, STDERR_FILENO);
}
