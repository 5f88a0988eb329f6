#include "platform/capture/HelperCaptureSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/capture/LinkLayer.h"

namespace {

constexpr std::uint32_t kMagicMicroseconds = 0xa1b2c3d4;
constexpr std::uint32_t kMagicNanoseconds = 0xa1b23c4d;
constexpr std::size_t kStreamHeaderSize = 24;
constexpr std::size_t kRecordHeaderSize = 16;
// Larger than any snap length the helper uses; a stream claiming more is damaged.
constexpr std::uint32_t kMaxSnapLength = 262144;
constexpr std::size_t kBufferSize = 2 * 1024 * 1024;
// Room for a burst while the run is busy, beside the kernel's ring in the
// helper. The most an unprivileged user may ask for by default.
constexpr int kPipeBytes = 1024 * 1024;

std::int64_t SteadyMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::uint32_t U32(const std::uint8_t* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

CHelperCaptureSource::CHelperCaptureSource(HelperCaptureOptions options)
    : options_(std::move(options)), buffer_(new std::uint8_t[kBufferSize]) {}

CHelperCaptureSource::~CHelperCaptureSource() { Stop(); }

CaptureFailure CHelperCaptureSource::Startup() {
    helperPath_ = options_.helperPath.empty() ? LocateCaptureHelper() : options_.helperPath;
    struct stat info{};
    if (stat(helperPath_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = "no capture helper at " + helperPath_;
        return CaptureFailure::Initialization;
    }
    return CaptureFailure::None;
}

CaptureFailure CHelperCaptureSource::FindInterface() {
    if (!options_.interfaceName.empty() && !IsValidInterfaceName(options_.interfaceName)) {
        error_ = "not an interface name: " + options_.interfaceName;
        return CaptureFailure::NoInterface;
    }
    if (!FindCaptureInterface(interface_, &error_, options_.interfaceName)) return CaptureFailure::NoInterface;
    return CaptureFailure::None;
}

CaptureFailure CHelperCaptureSource::Activate() {
    Stop();
    statistics_ = {};
    helperFailure_.clear();
    begin_ = end_ = 0;
    headerRead_ = false;
    controlOpen_ = true;
    // Both ends non-blocking: the helper waits for room in its pipe where it
    // also hears a Stop.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return CaptureFailure::Initialization;
    }
    data_ = pipeFds[0];
    fcntl(data_, F_SETPIPE_SZ, kPipeBytes);  // the default size still works, only with less room
    const int spawned = helper_.Start(helperPath_, pipeFds[1]);
    close(pipeFds[1]);
    if (spawned != 0) {
        error_ = helperPath_ + ": " + std::strerror(spawned);
        Stop();
        return spawned == EACCES || spawned == EPERM ? CaptureFailure::Permission : CaptureFailure::Initialization;
    }
    HelperRequest request;
    request.interfaceName = interface_.name;
    if (!helper_.Send(request)) {
        error_ = "the capture helper took no request";
        Stop();
        return CaptureFailure::Initialization;
    }
    const std::int64_t deadline = SteadyMs() + kStartTimeoutMs;
    for (;;) {
        const std::int64_t left = deadline - SteadyMs();
        HelperReport report;
        const CHelperProcess::Received got =
            left > 0 ? helper_.Receive(report, static_cast<int>(left)) : CHelperProcess::Received::Closed;
        if (got == CHelperProcess::Received::Nothing) continue;
        if (got == CHelperProcess::Received::Closed) {
            error_ = left > 0 ? "the capture helper ended without an answer" : "the capture helper did not answer";
            Stop();
            return CaptureFailure::Initialization;
        }
        if (report.kind == HelperReportKind::Started) {
            interface_.name = report.interfaceName;
            interface_.address = report.address;
            return CaptureFailure::None;
        }
        if (report.kind == HelperReportKind::Failed) {
            error_ = report.text;
            Stop();
            return report.failure;
        }
    }
}

bool CHelperCaptureSource::ReadReports() {
    HelperReport report;
    for (;;) {
        const CHelperProcess::Received got = helper_.Receive(report, 0);
        if (got == CHelperProcess::Received::Nothing) return true;
        if (got == CHelperProcess::Received::Closed) return false;
        if (report.kind == HelperReportKind::Statistics) {
            statistics_.kernelReceived = report.kernelReceived;
            statistics_.kernelDropped = report.kernelDropped;
            statistics_.interfaceDropped = report.interfaceDropped;
        } else if (report.kind == HelperReportKind::Failed) {
            helperFailure_ = report.text;
        }
    }
}

// The stream's header, once enough of it is here; false when it is not one
// this side can read.
bool CHelperCaptureSource::ReadStreamHeader() {
    const std::uint8_t* at = buffer_.get() + begin_;
    const std::uint32_t magic = U32(at);
    snapLength_ = U32(at + 16);
    linkType_ = static_cast<int>(U32(at + 20));
    if ((magic != kMagicMicroseconds && magic != kMagicNanoseconds) || snapLength_ > kMaxSnapLength ||
        !IsSupportedLinkType(linkType_))
        return false;
    nanoseconds_ = magic == kMagicNanoseconds;
    begin_ += kStreamHeaderSize;
    headerRead_ = true;
    return true;
}

// One whole frame from the buffer; true when it carried an IPv4 datagram.
bool CHelperCaptureSource::TakeFrame(CapturedDatagram& datagram) {
    const std::uint8_t* at = buffer_.get() + begin_;
    const std::uint32_t captured = U32(at + 8);
    begin_ += kRecordHeaderSize + captured;
    const std::uint8_t* frame = at + kRecordHeaderSize;
    Ipv4Span span;
    if (!LocateIpv4Datagram(linkType_, frame, captured, span)) {
        ++statistics_.otherFrames;
        return false;
    }
    ++statistics_.datagrams;
    datagram.data = frame + span.offset;
    datagram.length = span.length;
    datagram.seconds = U32(at);
    const std::uint32_t fraction = U32(at + 4);
    datagram.nanoseconds = nanoseconds_ ? fraction : fraction * 1000;
    return true;
}

ReceiveResult CHelperCaptureSource::Receive(CapturedDatagram& datagram, int timeoutMs) {
    if (data_ < 0) {
        error_ = "the capture is not active";
        return ReceiveResult::Failed;
    }
    const std::int64_t deadline = SteadyMs() + std::max(timeoutMs, 0);
    unsigned passedOver = 0;
    for (;;) {
        const std::size_t held = end_ - begin_;
        bool damaged = false;
        if (!headerRead_) {
            if (held >= kStreamHeaderSize) {
                if (ReadStreamHeader()) continue;
                damaged = true;
            }
        } else if (held >= kRecordHeaderSize) {
            const std::uint32_t captured = U32(buffer_.get() + begin_ + 8);
            if (captured > snapLength_) {
                damaged = true;
            } else if (held >= kRecordHeaderSize + captured) {
                if (TakeFrame(datagram)) return ReceiveResult::Datagram;
                // A flood of other frames must not keep the run from its flag.
                if (++passedOver % 256 == 0 && SteadyMs() >= deadline) return ReceiveResult::NothingYet;
                continue;
            }
        }
        if (damaged) {
            error_ = "the capture helper's stream is damaged";
            return ReceiveResult::Failed;
        }

        // More bytes are needed: make room for the largest frame, then read.
        if (kBufferSize - end_ < kRecordHeaderSize + kMaxSnapLength) {
            std::memmove(buffer_.get(), buffer_.get() + begin_, held);
            begin_ = 0;
            end_ = held;
        }
        const ssize_t n = read(data_, buffer_.get() + end_, kBufferSize - end_);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) {
            // The helper has ended: say why when it said so.
            ReadReports();
            error_ = helperFailure_.empty() ? "the capture helper ended" : helperFailure_;
            return ReceiveResult::Failed;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN) {
            error_ = std::string("reading from the capture helper: ") + std::strerror(errno);
            return ReceiveResult::Failed;
        }
        if (controlOpen_) controlOpen_ = ReadReports();
        const std::int64_t left = deadline - SteadyMs();
        if (left <= 0) return ReceiveResult::NothingYet;
        pollfd ready[2] = {{data_, POLLIN, 0}, {helper_.ControlFd(), POLLIN, 0}};
        const nfds_t watched = controlOpen_ ? 2 : 1;
        if (poll(ready, watched, static_cast<int>(left)) == 0) return ReceiveResult::NothingYet;
    }
}

void CHelperCaptureSource::Stop() {
    if (data_ >= 0) {
        // The closed pipe ends a helper that is blocked writing to it, the
        // request one that is waiting for frames; either sends its last
        // counters as it goes.
        close(data_);
        data_ = -1;
    }
    if (!helper_.Running()) return;
    helper_.Send(HelperRequest{HelperRequestKind::Stop});
    const std::int64_t deadline = SteadyMs() + kStopTimeoutMs;
    HelperReport report;
    for (std::int64_t left; (left = deadline - SteadyMs()) > 0;) {
        const CHelperProcess::Received got = helper_.Receive(report, static_cast<int>(left));
        if (got == CHelperProcess::Received::Closed) break;
        if (got == CHelperProcess::Received::Report && report.kind == HelperReportKind::Statistics) {
            statistics_.kernelReceived = report.kernelReceived;
            statistics_.kernelDropped = report.kernelDropped;
            statistics_.interfaceDropped = report.interfaceDropped;
        }
    }
    helper_.End(static_cast<int>(std::max<std::int64_t>(deadline - SteadyMs(), 0)));
}

CaptureStatistics CHelperCaptureSource::Statistics() {
    if (controlOpen_ && helper_.Running()) controlOpen_ = ReadReports();
    return statistics_;
}

std::unique_ptr<ICaptureSource> MakeLiveCaptureSource(const std::string& interfaceName) {
    HelperCaptureOptions options;
    options.interfaceName = interfaceName;
    return std::make_unique<CHelperCaptureSource>(options);
}

// The capture helper holds the rights; the program itself never needs them.
bool RestartWithCaptureRights() { return false; }
