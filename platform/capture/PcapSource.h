#pragma once
// The capture sources on libpcap: the live interface and capture files
// (pcap and pcapng), both delivering IPv4 datagrams from their IP header on.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture/CaptureSource.h"

struct pcap;
struct pcap_pkthdr;

struct CaptureInterface {
    std::string name;           // the device, e.g. "eth0"
    std::uint32_t address = 0;  // its IPv4 address, network byte order
};

// The interface that owns the host's first IPv4 address, in the order the
// system lists its addresses, passing over loopback and interfaces that are
// down. With a name, only that interface, on the same terms. False when
// there is none.
bool FindCaptureInterface(CaptureInterface& found, std::string* error = nullptr, const std::string& name = {});
// Every interface that FindCaptureInterface may choose, each once (with its
// first IPv4 address), in that order. False when the system's list cannot
// be read.
bool ListCaptureInterfaces(std::vector<CaptureInterface>& found, std::string* error = nullptr);

// Libpcap's texts may span lines; ours are read on one.
std::string PcapOneLine(const char* text);

// Words for a capture file that was read whole yet gave no IPv4 datagram.
std::string NoIpv4Text(const CaptureStatistics& statistics);

// What both sources share: the handle, the link type, the counters.
class CPcapSource : public ICaptureSource {
public:
    ~CPcapSource() override;

    CaptureFailure Startup() override;
    void Stop() override;
    CaptureStatistics Statistics() override;
    const std::string& ErrorText() const override { return error_; }

    // The link type (DLT_ value) of the active source; -1 before Activate.
    int LinkType() const { return linkType_; }

protected:
    CPcapSource() = default;
    // Takes an opened handle; false (with the handle closed) when its link
    // type cannot carry datagrams that we can find.
    bool Adopt(pcap* handle, bool nanoseconds);
    // Fills `datagram` from one frame; false when the frame holds no IPv4.
    bool Take(const pcap_pkthdr* header, const std::uint8_t* frame, CapturedDatagram& datagram);
    virtual void ReadKernelCounters() {}

    pcap* pcap_ = nullptr;
    int linkType_ = -1;
    bool nanoseconds_ = false;
    std::string error_;
    CaptureStatistics statistics_;
};

struct LiveCaptureOptions {
    // Kernel ring: room for bursts while the run is busy.
    int bufferBytes = 32 * 1024 * 1024;
    // Longest time the kernel holds captured frames before handing them over.
    int deliveryDelayMs = 50;
    // The largest datagram with room for any link header and VLAN tags.
    int snapLength = 65535 + 256;
};

// Opens the live capture on device as a run wants it, non-blocking. Null,
// with failure (Permission or Initialization) and error set, when it cannot.
// nanoseconds tells whether its time stamps carry nanoseconds.
pcap* OpenLiveCapture(const std::string& device, const LiveCaptureOptions& options, bool& nanoseconds,
                      CaptureFailure& failure, std::string& error);

class CLiveCaptureSource final : public CPcapSource {
public:
    explicit CLiveCaptureSource(LiveCaptureOptions options = {});

    CaptureFailure FindInterface() override;
    CaptureFailure Activate() override;
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override;

    const CaptureInterface& Interface() const { return interface_; }
    std::uint32_t InterfaceAddress() const override { return interface_.address; }

private:
    void ReadKernelCounters() override;

    LiveCaptureOptions options_;
    CaptureInterface interface_;
    int selectable_ = -1;
    // pcap_stats counts in 32 bits; kept here to widen them without loss.
    std::uint32_t lastReceived_ = 0, lastDropped_ = 0, lastInterfaceDropped_ = 0;
};

class CFileCaptureSource final : public CPcapSource {
public:
    // regularFileOnly refuses a FIFO, a device or a directory, whose reads
    // could wait for ever where nobody may wait (a window's run).
    explicit CFileCaptureSource(std::string path, bool regularFileOnly = false);
    ~CFileCaptureSource() override;

    // Files need no interface.
    CaptureFailure FindInterface() override { return CaptureFailure::None; }
    // Opens the file; a file that is not a capture fails with Initialization.
    CaptureFailure Activate() override;
    // Never waits: a datagram, the end of the file, or a damaged file.
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override;

private:
    static constexpr std::size_t kReadBuffer = 1024 * 1024;

    std::string path_;
    bool regularFileOnly_;
    std::unique_ptr<char[]> readBuffer_;  // the stream's, while it is open
};
