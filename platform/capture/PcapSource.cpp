#include "platform/capture/PcapSource.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <ifaddrs.h>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/capture/LinkLayer.h"

namespace {

// Libpcap's texts may span lines; ours are read on one.
std::string OneLine(const char* text) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::int64_t SteadyMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::string LinkTypeText(int linkType) {
    const char* name = pcap_datalink_val_to_name(linkType);
    return std::string("link type ") + (name ? name : "unknown") + " (" + std::to_string(linkType) + ")";
}

// A link type (DLT_ value) in libpcap's words, such as "Ethernet".
std::string LinkTypeDescription(int linkType) {
    const char* description = pcap_datalink_val_to_description(linkType);
    return description ? description : "link type " + std::to_string(linkType);
}

// In files raw IP is 101, which libpcap turns into its own DLT_RAW.
constexpr unsigned kLinkTypeRaw = 101;

// Counters of 32 bits that wrap: add what they moved since the last look.
void Widen(std::uint64_t& total, std::uint32_t& last, std::uint32_t now) {
    total += static_cast<std::uint32_t>(now - last);
    last = now;
}

// Libpcap's words for a damaged file, put in terms of what the user holds.
// `linkType` is the file's (its first interface's), -1 before it is known.
std::string DescribeFileError(const char* text, int linkType = -1) {
    std::string line = OneLine(text);
    if (line == "unknown file format") return "not a pcap or pcapng capture file";
    std::size_t at = line.find("truncated");
    std::size_t semicolon = line.find("; ");
    if (at == 0 && semicolon != std::string::npos)
        return "truncated capture file (" + line.substr(semicolon + 2) + ")";
    // Libpcap reads a pcapng file only while its interfaces agree.
    constexpr char kAdvice[] = "; split the file by interface (e.g. with tshark) to read the rest";
    unsigned other = 0;
    if (std::sscanf(line.c_str(), "an interface has a type %u different from", &other) == 1)
        return "its interfaces have different link types (" + LinkTypeDescription(linkType) + ", then " +
               LinkTypeDescription(other == kLinkTypeRaw ? DLT_RAW : static_cast<int>(other)) +
               "), which libpcap cannot read past" + kAdvice;
    if (std::sscanf(line.c_str(), "an interface has a snapshot length %u different from", &other) == 1)
        return "its interfaces have different snapshot lengths, which libpcap cannot read past" +
               std::string(kAdvice);
    return line;
}

}  // namespace

std::string NoIpv4Text(const CaptureStatistics& statistics) {
    if (statistics.otherFrames == 0) return "no packets in this capture";
    const std::uint64_t n = statistics.otherFrames;
    return "no IPv4 datagram in " + (n == 1 ? std::string("its one packet") : "its " + std::to_string(n) + " packets") +
           " (other traffic such as IPv6 or ARP, or IPv4 in a framing that is not read here)";
}

// Two texts as lines of one, joined when compiling: the window's text stays
// one string in the program, as its users (and lintian) find it.
template <std::size_t A, std::size_t B>
constexpr std::array<char, A + B> JoinLines(const char (&first)[A], const char (&second)[B]) {
    std::array<char, A + B> joined{};
    for (std::size_t i = 0; i + 1 < A; ++i) joined[i] = first[i];
    joined[A - 1] = '\n';
    for (std::size_t i = 0; i < B; ++i) joined[A + i] = second[i];
    return joined;
}

constexpr auto kPermissionText = JoinLines(kPermissionMessage, kPermissionAdvice);

const char* CaptureFailureMessage(CaptureFailure failure) {
    switch (failure) {
    case CaptureFailure::Initialization: return kInitializationMessage;
    case CaptureFailure::NoInterface: return kNoInterfaceMessage;
    case CaptureFailure::Permission: return kPermissionText.data();
    case CaptureFailure::None: break;
    }
    return nullptr;
}

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

CPcapSource::~CPcapSource() { Stop(); }

CaptureFailure CPcapSource::Startup() {
    static std::once_flag once;
    static int result = 0;
    static std::string text;
    std::call_once(once, [] {
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        result = pcap_init(PCAP_CHAR_ENC_UTF_8, errbuf);
        text = OneLine(errbuf);
    });
    if (result != 0) {
        error_ = "libpcap: " + text;
        return CaptureFailure::Initialization;
    }
    return CaptureFailure::None;
}

bool CPcapSource::Adopt(pcap* handle, bool nanoseconds) {
    int linkType = pcap_datalink(handle);
    if (!IsSupportedLinkType(linkType)) {
        error_ = LinkTypeText(linkType) + " is not supported";
        pcap_close(handle);
        return false;
    }
    pcap_ = handle;
    linkType_ = linkType;
    nanoseconds_ = nanoseconds;
    return true;
}

bool CPcapSource::Take(const pcap_pkthdr* header, const std::uint8_t* frame, CapturedDatagram& datagram) {
    Ipv4Span span;
    if (!LocateIpv4Datagram(linkType_, frame, header->caplen, span)) {
        ++statistics_.otherFrames;
        return false;
    }
    ++statistics_.datagrams;
    datagram.data = frame + span.offset;
    datagram.length = span.length;
    datagram.seconds = header->ts.tv_sec;
    std::int64_t fraction = header->ts.tv_usec;
    datagram.nanoseconds = static_cast<std::uint32_t>(nanoseconds_ ? fraction : fraction * 1000);
    return true;
}

void CPcapSource::Stop() {
    if (!pcap_) return;
    ReadKernelCounters();
    pcap_close(pcap_);
    pcap_ = nullptr;
}

CaptureStatistics CPcapSource::Statistics() {
    if (pcap_) ReadKernelCounters();
    return statistics_;
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
        error = OneLine(errbuf);
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
        std::string detail = OneLine(pcap_geterr(handle));
        if (!detail.empty()) error += " (" + detail + ")";
        pcap_close(handle);
        if (status == PCAP_ERROR_PERM_DENIED) failure = CaptureFailure::Permission;
        return nullptr;
    }
    // A read timeout alone never returns on a quiet link; the receive waits
    // in poll() with its own timeout instead.
    if (pcap_setnonblock(handle, 1, errbuf) != 0) {
        error = OneLine(errbuf);
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
        error_ = interface_.name + ": " + OneLine(pcap_geterr(pcap_));
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

CFileCaptureSource::CFileCaptureSource(std::string path, bool regularFileOnly)
    : path_(std::move(path)), regularFileOnly_(regularFileOnly) {}

CFileCaptureSource::~CFileCaptureSource() { Stop(); }  // the stream, before its buffer

CaptureFailure CFileCaptureSource::Activate() {
    Stop();
    std::FILE* file = nullptr;
    if (!regularFileOnly_) {
        file = path_ == "-" ? stdin : std::fopen(path_.c_str(), "rbe");
        if (!file) {
            error_ = path_ + ": " + std::strerror(errno);
            return CaptureFailure::Initialization;
        }
    } else {
        // Not blocking in the open of a FIFO without a writer, then checked.
        const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info{};
        if (fd < 0 || fstat(fd, &info) != 0) {
            error_ = path_ + ": " + std::strerror(errno);
            if (fd >= 0) close(fd);
            return CaptureFailure::Initialization;
        }
        if (!S_ISREG(info.st_mode)) {
            close(fd);
            error_ = path_ + ": not a regular file";
            return CaptureFailure::Initialization;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file = fdopen(fd, "rb");
        if (!file) {
            error_ = path_ + ": " + std::strerror(errno);
            close(fd);
            return CaptureFailure::Initialization;
        }
    }
    // Reads of a page each would cost a system call every few frames. Libpcap
    // leaves standard input open, so its buffer must outlive the source.
    static char inputBuffer[kReadBuffer];
    if (!readBuffer_ && file != stdin) readBuffer_ = std::make_unique_for_overwrite<char[]>(kReadBuffer);
    std::setvbuf(file, file == stdin ? inputBuffer : readBuffer_.get(), _IOFBF, kReadBuffer);
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_NANO, errbuf);
    if (!handle && file != stdin) std::fclose(file);  // pcap_close closes it once adopted
    if (!handle) {
        struct stat info{};
        if (stat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0)
            error_ = "empty file, not a capture";
        else
            error_ = DescribeFileError(errbuf);
        return CaptureFailure::Initialization;
    }
    if (!Adopt(handle, true)) return CaptureFailure::Initialization;
    return CaptureFailure::None;
}

ReceiveResult CFileCaptureSource::Receive(CapturedDatagram& datagram, int) {
    if (!pcap_) {
        error_ = "the capture file is not open";
        return ReceiveResult::Failed;
    }
    // A long stretch of frames without IPv4 must not keep a Stop waiting.
    for (unsigned passedOver = 1;; ++passedOver) {
        pcap_pkthdr* header = nullptr;
        const u_char* frame = nullptr;
        int status = pcap_next_ex(pcap_, &header, &frame);
        if (status == 1) {
            if (Take(header, frame, datagram)) return ReceiveResult::Datagram;
            if (passedOver % 256 == 0) return ReceiveResult::NothingYet;
            continue;
        }
        if (status == PCAP_ERROR_BREAK) return ReceiveResult::EndOfFile;
        error_ = DescribeFileError(pcap_geterr(pcap_), linkType_);
        return ReceiveResult::Failed;
    }
}
