#include "platform/capture/PcapSource.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <poll.h>

namespace {

std::int64_t SteadyMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Counters of 32 bits that wrap: add what they moved since the last look.
void Widen(std::uint64_t& total, std::uint32_t& last, std::uint32_t now) {
    total += static_cast<std::uint32_t>(now - last);
    last = now;
}

}  // namespace

bool ListCaptureInterfaces(std::vector<CaptureInterface>& found, std::string* error) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        if (error) *error = std::string("cannot list the interfaces: ") + std::strerror(errno);
        return false;
    }
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name) continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
        std::string name = entry->ifa_name;
        // An address label such as "eth0:1" names the address; device names
        // never hold a colon.
        std::size_t colon = name.find(':');
        if (colon != std::string::npos) name.resize(colon);
        bool listed = false;
        for (const CaptureInterface& f : found) listed = listed || f.name == name;
        if (!listed)
            found.push_back({name, reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr});
    }
    freeifaddrs(list);
    return true;
}

bool FindCaptureInterface(CaptureInterface& found, std::string* error, const std::string& wanted) {
    std::vector<CaptureInterface> list;
    if (!ListCaptureInterfaces(list, error)) return false;
    for (const CaptureInterface& candidate : list)
        if (wanted.empty() || candidate.name == wanted) {
            found = candidate;
            return true;
        }
    if (error)
        *error = wanted.empty() ? "no interface that is up has an IPv4 address"
                                : wanted + " is not an interface that is up and has an IPv4 address";
    return false;
}

CLiveCaptureSource::CLiveCaptureSource(LiveCaptureOptions options) : options_(options) {}

CaptureFailure CLiveCaptureSource::FindInterface() {
    if (!FindCaptureInterface(interface_, &error_)) return CaptureFailure::NoInterface;
    return CaptureFailure::None;
}

pcap* OpenLiveCapture(const std::string& device, const LiveCaptureOptions& options, bool& nanoseconds,
                      CaptureFailure& failure, std::string& error) {
    failure = CaptureFailure::Initialization;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_create(device.c_str(), errbuf);
    if (!handle) {
        error = PcapOneLine(errbuf);
        return nullptr;
    }
    // Not immediate mode: the kernel hands over whole blocks, at the latest
    // after the delivery delay, which keeps up under load where immediate
    // mode drops.
    pcap_set_snaplen(handle, options.snapLength);
    pcap_set_promisc(handle, 0);
    pcap_set_timeout(handle, options.deliveryDelayMs);
    pcap_set_buffer_size(handle, options.bufferBytes);
    pcap_set_immediate_mode(handle, 0);
    nanoseconds = pcap_set_tstamp_precision(handle, PCAP_TSTAMP_PRECISION_NANO) == 0;

    int status = pcap_activate(handle);
    if (status < 0) {
        error = device + ": " + pcap_statustostr(status);
        std::string detail = PcapOneLine(pcap_geterr(handle));
        if (!detail.empty()) error += " (" + detail + ")";
        pcap_close(handle);
        if (status == PCAP_ERROR_PERM_DENIED) failure = CaptureFailure::Permission;
        return nullptr;
    }
    // A read timeout alone never returns on a quiet link; the receive waits
    // in poll() with its own timeout instead.
    if (pcap_setnonblock(handle, 1, errbuf) != 0) {
        error = PcapOneLine(errbuf);
        pcap_close(handle);
        return nullptr;
    }
    if (pcap_get_selectable_fd(handle) < 0) {
        error = device + ": no descriptor to wait on";
        pcap_close(handle);
        return nullptr;
    }
    failure = CaptureFailure::None;
    return handle;
}

CaptureFailure CLiveCaptureSource::Activate() {
    Stop();
    if (interface_.name.empty()) {
        error_ = "no interface was chosen";
        return CaptureFailure::Initialization;
    }
    bool nanoseconds = false;
    CaptureFailure failure = CaptureFailure::None;
    pcap_t* handle = OpenLiveCapture(interface_.name, options_, nanoseconds, failure, error_);
    if (!handle) return failure;
    const int selectable = pcap_get_selectable_fd(handle);
    if (!Adopt(handle, nanoseconds)) return CaptureFailure::Initialization;
    selectable_ = selectable;
    lastReceived_ = lastDropped_ = lastInterfaceDropped_ = 0;
    return CaptureFailure::None;
}

ReceiveResult CLiveCaptureSource::Receive(CapturedDatagram& datagram, int timeoutMs) {
    if (!pcap_) {
        error_ = "the capture is not active";
        return ReceiveResult::Failed;
    }
    const std::int64_t deadline = SteadyMs() + (timeoutMs > 0 ? timeoutMs : 0);
    unsigned passedOver = 0;
    for (;;) {
        pcap_pkthdr* header = nullptr;
        const u_char* frame = nullptr;
        int status = pcap_next_ex(pcap_, &header, &frame);
        if (status == 1) {
            if (Take(header, frame, datagram)) return ReceiveResult::Datagram;
            // A flood of other frames must not keep the run from its flag.
            if (++passedOver % 256 == 0 && SteadyMs() >= deadline) return ReceiveResult::NothingYet;
            continue;
        }
        if (status == 0) {
            std::int64_t left = deadline - SteadyMs();
            if (left <= 0) return ReceiveResult::NothingYet;
            pollfd ready{selectable_, POLLIN, 0};
            int n = poll(&ready, 1, static_cast<int>(left));
            if (n < 0 && errno != EINTR) {
                error_ = std::string("poll: ") + std::strerror(errno);
                return ReceiveResult::Failed;
            }
            if (n == 0) return ReceiveResult::NothingYet;
            continue;  // ready, or in error: the next read tells which
        }
        error_ = interface_.name + ": " + PcapOneLine(pcap_geterr(pcap_));
        return ReceiveResult::Failed;
    }
}

void CLiveCaptureSource::ReadKernelCounters() {
    pcap_stat counters{};
    if (pcap_stats(pcap_, &counters) != 0) return;
    Widen(statistics_.kernelReceived, lastReceived_, counters.ps_recv);
    Widen(statistics_.kernelDropped, lastDropped_, counters.ps_drop);
    Widen(statistics_.interfaceDropped, lastInterfaceDropped_, counters.ps_ifdrop);
}
