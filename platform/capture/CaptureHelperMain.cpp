// orn-capture: the one program of ORN that holds a capability (cap_net_raw),
// so that the window runs with none. It opens the live capture, or a raw
// ICMP socket for the host scan's sweep, gives up every capability, and
// serves the program that started it over the descriptors of
// platform/helper/HelperProtocol.h: the captured frames, or the sweep's
// outcomes; the raw socket itself never leaves this process. It takes
// nothing from its command line or environment, names no file, captures
// only an interface that is up and owns an IPv4 address, and sends echo
// requests only to the hosts of such an interface's network, all of which
// it checks itself.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/capture/LinkLayer.h"
#include "platform/capture/PcapSource.h"
#include "platform/helper/HelperProtocol.h"
#include "platform/net/InterfaceList.h"
#include "discovery/EchoMessage.h"

namespace {

// Exit statuses: a caller that broke the protocol learns nothing more.
constexpr int kRefused = 2;
constexpr int kFailed = 1;

constexpr int kRequestWaitMs = 10000;
constexpr int kStatisticsEveryMs = 200;
// Frames taken from the ring between writes, and the bytes gathered before
// a write: few large writes keep the pipe cheap under a burst.
constexpr int kFramesPerRound = 256;
constexpr std::size_t kWriteBytes = 256 * 1024;
// pcap file format, written in this machine's byte order.
constexpr std::uint32_t kMagicMicroseconds = 0xa1b2c3d4;
constexpr std::uint32_t kMagicNanoseconds = 0xa1b23c4d;

std::int64_t SteadyMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool IsControlSocket(int fd) {
    struct stat info{};
    int type = 0, domain = 0;
    socklen_t size = sizeof type;
    if (fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_SEQPACKET) return false;
    size = sizeof domain;
    return getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_UNIX;
}

bool IsPipeForWriting(int fd) {
    struct stat info{};
    const int flags = fcntl(fd, F_GETFL);
    return fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode) && flags >= 0 && (flags & O_ACCMODE) == O_WRONLY;
}

// Keeps cap_net_raw alone, or nothing at all.
bool LimitCapabilities(bool keepNetRaw) {
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const std::uint32_t netRaw = keepNetRaw ? 1u << CAP_NET_RAW : 0;
    data[0].effective &= netRaw;
    data[0].permitted &= netRaw;
    data[0].inheritable = 0;
    data[1] = {};
    if (syscall(SYS_capset, &header, data) != 0) return false;
    return keepNetRaw || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

bool Send(const HelperReport& report, int flags = 0) {
    const std::vector<std::uint8_t> bytes = EncodeReport(report);
    return send(kHelperControlFd, bytes.data(), bytes.size(), MSG_NOSIGNAL | flags) ==
           static_cast<ssize_t>(bytes.size());
}

int Fail(CaptureFailure failure, const std::string& text) {
    HelperReport report;
    report.kind = HelperReportKind::Failed;
    report.failure = failure;
    report.text = text;
    Send(report);
    return kFailed;
}

enum class Control { Nothing, Stop, End };

// One message from the caller: Stop ends the capture, and so does anything
// that is not a well-formed request, or the caller's hang-up.
Control ReadControl() {
    std::array<std::uint8_t, kHelperMessageMax> bytes;
    const ssize_t n = recv(kHelperControlFd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return Control::Nothing;
    if (n <= 0 || static_cast<std::size_t>(n) > bytes.size()) return Control::End;
    const std::optional<HelperRequest> request =
        ParseRequest(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(n)));
    return request && request->kind == HelperRequestKind::Stop ? Control::Stop : Control::End;
}

std::optional<HelperRequest> ReadRequest() {
    pollfd ready{kHelperControlFd, POLLIN, 0};
    if (poll(&ready, 1, kRequestWaitMs) <= 0) return std::nullopt;
    std::array<std::uint8_t, kHelperMessageMax> bytes;
    const ssize_t n = recv(kHelperControlFd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_TRUNC);
    if (n <= 0 || static_cast<std::size_t>(n) > bytes.size()) return std::nullopt;
    return ParseRequest(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(n)));
}

bool WriteAll(const std::uint8_t* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = write(kHelperDataFd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

template <typename T>
void Put(std::vector<std::uint8_t>& out, T value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

void AppendFrame(u_char* user, const pcap_pkthdr* header, const u_char* frame) {
    auto& out = *reinterpret_cast<std::vector<std::uint8_t>*>(user);
    Put(out, static_cast<std::uint32_t>(header->ts.tv_sec));
    Put(out, static_cast<std::uint32_t>(header->ts.tv_usec));
    Put(out, static_cast<std::uint32_t>(header->caplen));
    Put(out, static_cast<std::uint32_t>(header->len));
    out.insert(out.end(), frame, frame + header->caplen);
}

// The kernel's counters, widened from libpcap's 32 bits.
class CCounters {
public:
    void Read(pcap_t* handle) {
        pcap_stat now{};
        if (pcap_stats(handle, &now) != 0) return;
        Widen(report.kernelReceived, last.ps_recv, now.ps_recv);
        Widen(report.kernelDropped, last.ps_drop, now.ps_drop);
        Widen(report.interfaceDropped, last.ps_ifdrop, now.ps_ifdrop);
    }
    HelperReport report{HelperReportKind::Statistics};

private:
    static void Widen(std::uint64_t& total, u_int& last, u_int now) {
        total += static_cast<std::uint32_t>(now - last);
        last = now;
    }
    pcap_stat last{};
};

int Capture(const HelperRequest& request) {
    if (!IsPipeForWriting(kHelperDataFd)) return Fail(CaptureFailure::Initialization, "no data pipe");
    CaptureInterface chosen;
    std::string error;
    if (!FindCaptureInterface(chosen, &error, request.interfaceName))
        return Fail(CaptureFailure::NoInterface, error);
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    if (pcap_init(PCAP_CHAR_ENC_UTF_8, errbuf) != 0) return Fail(CaptureFailure::Initialization, errbuf);
    LiveCaptureOptions options;
    // Twice the in-process ring: each frame costs more here (a copy into the
    // pipe and out of it), so a burst must wait longer for the reader.
    options.bufferBytes = 64 * 1024 * 1024;
    bool nanoseconds = false;
    CaptureFailure failure = CaptureFailure::None;
    pcap_t* handle = OpenLiveCapture(chosen.name, options, nanoseconds, failure, error);
    if (!LimitCapabilities(false)) {
        if (handle) pcap_close(handle);
        return Fail(CaptureFailure::Initialization, "cannot give up the capabilities");
    }
    if (!handle) return Fail(failure, error);
    const int linkType = pcap_datalink(handle);
    if (!IsSupportedLinkType(linkType)) {
        pcap_close(handle);
        return Fail(CaptureFailure::Initialization, chosen.name + ": link type " + std::to_string(linkType) +
                                                        " is not supported");
    }

    HelperReport started{HelperReportKind::Started};
    started.interfaceName = chosen.name;
    started.address = chosen.address;
    if (!Send(started)) return kFailed;

    std::vector<std::uint8_t> out;
    out.reserve(kWriteBytes + static_cast<std::size_t>(options.snapLength) * 2);
    Put(out, nanoseconds ? kMagicNanoseconds : kMagicMicroseconds);
    Put(out, std::uint16_t{2});
    Put(out, std::uint16_t{4});
    Put(out, std::int32_t{0});
    Put(out, std::uint32_t{0});
    Put(out, static_cast<std::uint32_t>(options.snapLength));
    Put(out, static_cast<std::uint32_t>(linkType));

    CCounters counters;
    const int selectable = pcap_get_selectable_fd(handle);
    std::int64_t statisticsDue = SteadyMs() + kStatisticsEveryMs;
    int status = 0;
    for (bool going = true; going;) {
        pollfd ready[2] = {{selectable, POLLIN, 0}, {kHelperControlFd, POLLIN, 0}};
        const int wait = out.empty() ? static_cast<int>(std::max<std::int64_t>(statisticsDue - SteadyMs(), 0)) : 0;
        if (poll(ready, 2, wait) < 0 && errno != EINTR) break;
        if (ready[1].revents && ReadControl() != Control::Nothing) break;
        // Frames in rounds until the ring is empty or enough have gathered;
        // then one write, and a look at the control socket again.
        for (;;) {
            const int got = pcap_dispatch(handle, kFramesPerRound, AppendFrame, reinterpret_cast<u_char*>(&out));
            if (got < 0) {
                status = Fail(CaptureFailure::Initialization, chosen.name + ": " + pcap_geterr(handle));
                going = false;
                break;
            }
            if (got == 0 || out.size() >= kWriteBytes) {
                // A write that fails means the caller closed the pipe: the run is over.
                if (!out.empty() && !WriteAll(out.data(), out.size())) going = false;
                out.clear();
                break;
            }
        }
        if (SteadyMs() >= statisticsDue) {
            counters.Read(handle);
            Send(counters.report, MSG_DONTWAIT);
            statisticsDue = SteadyMs() + kStatisticsEveryMs;
        }
    }
    counters.Read(handle);
    pcap_close(handle);
    // The last counters must arrive: wait a little for room.
    const timeval patience{0, 50000};
    setsockopt(kHelperControlFd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    Send(counters.report);
    return status;
}

// Whether the caller is still there and wants more: a Stop, anything else,
// or a hang-up ends the sweep.
bool CallerWaits() {
    pollfd ready{kHelperControlFd, POLLIN, 0};
    return poll(&ready, 1, 0) <= 0 || ReadControl() == Control::Nothing;
}

// Whether an echo reply to our request came from address within waitMs;
// other datagrams (replies to other programs, late ones) are passed over.
bool AwaitReply(int fd, std::uint32_t address, std::uint16_t identifier, int waitMs) {
    const std::int64_t deadline = SteadyMs() + waitMs;
    bool answered = false;
    for (std::int64_t left = waitMs; left > 0; left = deadline - SteadyMs()) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
        std::array<std::uint8_t, 1024> datagram;
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t n = recvfrom(fd, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &size);
        if (n > 0 && from.sin_addr.s_addr == address &&
            IsEchoReplyForUs(std::span<const std::uint8_t>(datagram.data(), static_cast<std::size_t>(n)), identifier))
            answered = true;
    }
    return answered;
}

// The host scan's sweep, sent from here: the request is checked against the
// interfaces before any socket is opened, so that a refused one sends
// nothing; each address gets the scan's own echo request (this process's
// identifier, the address as data) and its wait before the next.
int EchoSweep(const HelperRequest& request) {
    std::vector<CInterfaceAddress> interfaces;
    ReadInterfaceAddresses(interfaces);
    if (const std::string refusal = EchoSweepRefusal(request, interfaces); !refusal.empty()) {
        LimitCapabilities(false);
        return Fail(CaptureFailure::NoInterface, refusal);
    }
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    const int openError = errno;
    if (!LimitCapabilities(false)) return Fail(CaptureFailure::Initialization, "cannot give up the capabilities");
    if (fd < 0)
        return Fail(openError == EPERM || openError == EACCES ? CaptureFailure::Permission
                                                              : CaptureFailure::Initialization,
                    std::string("raw ICMP socket: ") + std::strerror(openError));
    icmp_filter onlyReplies{~(1u << ICMP_ECHOREPLY)};
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &onlyReplies, sizeof onlyReplies);

    const std::uint16_t identifier = EchoIdentifier(static_cast<std::uint32_t>(getpid()));
    int status = 0;
    for (std::size_t i = 0; i < request.count && status == 0; ++i) {
        HelperReport result{HelperReportKind::EchoResult};
        result.address = EchoSweepAddress(request.first, i);
        std::array<std::uint8_t, kEchoRequestSize> echo;
        BuildEchoRequest(echo, identifier, result.address);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = result.address;
        const ssize_t sent = sendto(fd, echo.data(), echo.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to),
                                    sizeof to);
        result.sent = static_cast<std::uint16_t>(std::max<ssize_t>(sent, 0));
        // A failed send waits too: the pace holds whatever happens.
        result.answered = AwaitReply(fd, result.address, identifier, request.waitMs) && result.sent;
        if (!Send(result) || !CallerWaits()) status = kFailed;
    }
    close(fd);
    return status;
}

}  // namespace

int main(int argc, char**) {
    // Never outlive the program that started this one; its hang-up of the
    // control socket covers a death before this line.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 1 || !IsControlSocket(kHelperControlFd)) return kRefused;
    // Nothing of the caller's environment reaches the libraries either.
    clearenv();
    // Only the protocol's descriptors and the standard three stay open.
    close_range(kHelperDataFd + 1, ~0u, 0);
    signal(SIGPIPE, SIG_IGN);
    if (!LimitCapabilities(true)) return kRefused;

    const std::optional<HelperRequest> request = ReadRequest();
    if (!request) return kRefused;
    switch (request->kind) {
    case HelperRequestKind::Capture: return Capture(*request);
    case HelperRequestKind::EchoSweep: return EchoSweep(*request);
    case HelperRequestKind::Stop: return 0;
    }
    return kRefused;
}
