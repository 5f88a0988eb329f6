#pragma once
// Starting the capture helper as a child and talking to it over its control
// socket. The child gets no arguments, an empty environment and only the
// descriptors of the protocol (platform/helper/HelperProtocol.h).

#include <string>
#include <sys/types.h>

#include "platform/helper/HelperProtocol.h"

// The helper beside the running executable when there is a file of that name
// (a build tree), else the installed one.
std::string LocateCaptureHelper();

class CHelperProcess {
public:
    CHelperProcess() = default;
    // End(0): a helper still running is killed.
    ~CHelperProcess();
    CHelperProcess(const CHelperProcess&) = delete;
    CHelperProcess& operator=(const CHelperProcess&) = delete;

    // Starts the helper at path; dataFd (or -1) becomes its data descriptor.
    // 0, or the errno value of the failure: ENOENT when there is no such
    // file, EACCES when this user may not execute it.
    int Start(const std::string& path, int dataFd = -1);

    bool Send(const HelperRequest& request);

    enum class Received { Report, Nothing, Closed };
    // Waits up to timeoutMs (0: only looks) for the next report. Closed when
    // the helper has closed its side, or sent something that is not a report
    // (the helper is then of no further use), or a report that came with a
    // descriptor: none is ever taken.
    Received Receive(HelperReport& report, int timeoutMs);

    // Waits up to graceMs for the helper to end by itself, kills it when it
    // has not, and reaps it. Safe to call more than once.
    void End(int graceMs);

    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    int ControlFd() const { return control_; }

private:
    pid_t pid_ = -1;
    int control_ = -1;
};

// CHelperProcess::Receive on the program's end fd of a control socket.
CHelperProcess::Received ReceiveHelperReport(int fd, HelperReport& report, int timeoutMs);
