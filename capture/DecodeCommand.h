#pragma once
// orn-decode: the capture run over capture files, from the command line. Every
// IPv4 datagram of the files goes through the run's own pipeline (decoder,
// packet store, log writer); the log entries, stamped with each datagram's
// capture time, go to outFd or to rotating log files in a directory.

#include <string>
#include <vector>

// The arguments without the program name. Returns the exit status: 0, 1 when
// a file could not be read whole or the output failed, 2 for a usage error.
// Errors and the progress line (only when errFd is a terminal) go to errFd.
int RunDecodeCommand(const std::vector<std::string>& arguments, int outFd, int errFd);
