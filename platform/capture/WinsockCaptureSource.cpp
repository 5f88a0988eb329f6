#include "platform/capture/WinsockCaptureSource.h"

#include <chrono>

namespace {

// The largest IPv4 datagram.
constexpr int kBufferSize = 65535;

}  // namespace

CWinsockCaptureSource::CWinsockCaptureSource(std::unique_ptr<IWinsockCalls> calls, std::string interfaceName)
    : calls_(std::move(calls)), interfaceName_(std::move(interfaceName)) {}

CWinsockCaptureSource::~CWinsockCaptureSource() { Stop(); }

CaptureFailure CWinsockCaptureSource::Fail(CaptureFailure failure, const char* step) {
    error_ = std::string(step) + ": " + calls_->LastError();
    return failure;
}

// The socket is made here: its failure is an initialization failure, as
// the sockets layer's own.
CaptureFailure CWinsockCaptureSource::Startup() {
    if (!started_) {
        if (!calls_->Startup()) return Fail(CaptureFailure::Initialization, "WSAStartup");
        started_ = true;
    }
    if (socket_ == IWinsockCalls::kNoSocket) {
        socket_ = calls_->OpenRawSocket();
        if (socket_ == IWinsockCalls::kNoSocket) return Fail(CaptureFailure::Initialization, "raw socket");
    }
    return CaptureFailure::None;
}

CaptureFailure CWinsockCaptureSource::FindInterface() {
    if (socket_ == IWinsockCalls::kNoSocket) {
        error_ = "the sockets layer is not started";
        return CaptureFailure::Initialization;
    }
    std::vector<std::uint32_t> addresses;
    if (!calls_->LocalAddresses(socket_, addresses)) return Fail(CaptureFailure::NoInterface, "address list");
    address_ = 0;
    if (interfaceName_.empty()) {
        if (!addresses.empty()) address_ = addresses.front();
    } else {
        // The interface chosen in the window: its address, if the socket may bind to it.
        const std::uint32_t wanted = calls_->InterfaceAddress(interfaceName_);
        for (std::uint32_t a : addresses)
            if (wanted != 0 && a == wanted) address_ = a;
    }
    if (address_ == 0) {
        error_ = interfaceName_.empty() ? "no local IPv4 address"
                                        : interfaceName_ + " is not an interface that is up and has an IPv4 address";
        return CaptureFailure::NoInterface;
    }
    return CaptureFailure::None;
}

CaptureFailure CWinsockCaptureSource::Activate() {
    if (socket_ == IWinsockCalls::kNoSocket || address_ == 0) {
        error_ = "no interface was chosen";
        return CaptureFailure::Initialization;
    }
    if (!calls_->Bind(socket_, address_)) return Fail(CaptureFailure::Initialization, "bind");
    if (!calls_->ReceiveAll(socket_)) return Fail(CaptureFailure::Permission, "SIO_RCVALL");
    buffer_.assign(kBufferSize, 0);
    timeoutMs_ = -1;
    return CaptureFailure::None;
}

ReceiveResult CWinsockCaptureSource::Receive(CapturedDatagram& datagram, int timeoutMs) {
    if (socket_ == IWinsockCalls::kNoSocket || buffer_.empty()) {
        error_ = "the capture is not active";
        return ReceiveResult::Failed;
    }
    // Zero would mean no time-out at all to the socket: the shortest one instead.
    const int wait = timeoutMs > 0 ? timeoutMs : 1;
    if (wait != timeoutMs_) {
        if (!calls_->SetReceiveTimeout(socket_, wait)) {
            error_ = "SO_RCVTIMEO: " + calls_->LastError();
            return ReceiveResult::Failed;
        }
        timeoutMs_ = wait;
    }
    const int n = calls_->Receive(socket_, buffer_.data(), static_cast<int>(buffer_.size()));
    if (n == 0) return ReceiveResult::NothingYet;
    if (n < 0) {
        error_ = "receive: " + calls_->LastError();
        return ReceiveResult::Failed;
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
    datagram.data = buffer_.data();
    datagram.length = static_cast<std::uint32_t>(n);
    datagram.seconds = seconds.count();
    datagram.nanoseconds = static_cast<std::uint32_t>(std::chrono::nanoseconds(now - seconds).count());
    ++statistics_.datagrams;
    ++statistics_.kernelReceived;
    return ReceiveResult::Datagram;
}

void CWinsockCaptureSource::Stop() {
    if (socket_ != IWinsockCalls::kNoSocket) calls_->Close(socket_);
    socket_ = IWinsockCalls::kNoSocket;
    buffer_.clear();
    if (started_) calls_->Cleanup();
    started_ = false;
}

std::unique_ptr<ICaptureSource> MakeLiveCaptureSource(const std::string& interfaceName) {
    return std::make_unique<CWinsockCaptureSource>(MakeSystemWinsockCalls(), interfaceName);
}
