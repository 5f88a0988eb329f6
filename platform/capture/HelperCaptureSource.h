#pragma once
// The live capture as the program gets it: through the capture helper
// (orn-capture), the one binary allowed to capture, so that the program
// itself needs no capability. The helper writes the interface's frames to a
// pipe as a pcap stream; this side reads it without ever blocking longer
// than the receive's timeout, and finds the IPv4 datagrams in the frames.
//
// The steps keep their failures: Startup fails (Initialization) when there
// is no helper; FindInterface when no interface qualifies (this side looks
// first, the helper checks again); Activate with Permission when this user
// may not run the helper or the helper may not capture, with the helper's
// own step otherwise.

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

#include "platform/capture/CaptureSource.h"
#include "platform/capture/PcapSource.h"
#include "platform/helper/HelperProcess.h"

struct HelperCaptureOptions {
    // The helper program; empty: beside this executable, else the installed one.
    std::string helperPath;
    // The interface to capture; empty: the first that is up and owns an
    // IPv4 address.
    std::string interfaceName;
};

class CHelperCaptureSource final : public ICaptureSource {
public:
    explicit CHelperCaptureSource(HelperCaptureOptions options = {});
    ~CHelperCaptureSource() override;

    CaptureFailure Startup() override;
    CaptureFailure FindInterface() override;
    CaptureFailure Activate() override;
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override;
    // Ends the helper within 100 ms and keeps its last counters.
    void Stop() override;
    CaptureStatistics Statistics() override;
    std::uint32_t InterfaceAddress() const override { return interface_.address; }
    const std::string& ErrorText() const override { return error_; }

    // The helper's process while it runs; -1 otherwise.
    pid_t HelperPid() const { return helper_.Pid(); }

    // Longest wait for the helper's answer to a capture request.
    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kStopTimeoutMs = 100;

private:
    // Takes every report waiting on the control socket; false once the
    // helper has gone quiet for good.
    bool ReadReports();
    bool ReadStreamHeader();
    bool TakeFrame(CapturedDatagram& datagram);

    HelperCaptureOptions options_;
    std::string helperPath_;
    CaptureInterface interface_;
    CHelperProcess helper_;
    int data_ = -1;
    std::string error_;
    bool controlOpen_ = false;
    std::string helperFailure_;  // what the helper said when it failed mid-run
    CaptureStatistics statistics_;

    // The pcap stream: bytes read and not yet taken are [begin_, end_).
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t begin_ = 0, end_ = 0;
    bool headerRead_ = false;
    bool nanoseconds_ = false;
    int linkType_ = -1;
    std::uint32_t snapLength_ = 0;
};
