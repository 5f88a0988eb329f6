#include "platform/capture/PcapSource.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pcap/pcap.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/capture/LinkLayer.h"

#ifdef _WIN32
#include "platform/win32/WideText.h"
#endif

namespace {

// Paths are UTF-8 everywhere. Microsoft's narrow calls would read them in the
// ANSI code page, which cannot name every file. "e" (close on exec) is
// glibc's; a Windows program starts no other programs anyway.
#ifdef _WIN32
std::FILE* OpenStream(const std::string& path) { return _wfopen(WideText(path).c_str(), L"rb"); }
int OpenDescriptor(const std::string& path, int flags) { return _wopen(WideText(path).c_str(), flags); }
#else
std::FILE* OpenStream(const std::string& path) { return std::fopen(path.c_str(), "rbe"); }
int OpenDescriptor(const std::string& path, int flags) { return open(path.c_str(), flags); }
#endif

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

// Libpcap's words for a damaged file, put in terms of what the user holds.
// `linkType` is the file's (its first interface's), -1 before it is known.
std::string DescribeFileError(const char* text, int linkType = -1) {
    std::string line = PcapOneLine(text);
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

// Libpcap's texts may span lines; ours are read on one.
std::string PcapOneLine(const char* text) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}


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

CPcapSource::~CPcapSource() { Stop(); }

CaptureFailure CPcapSource::Startup() {
    static std::once_flag once;
    static int result = 0;
    static std::string text;
    std::call_once(once, [] {
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        result = pcap_init(PCAP_CHAR_ENC_UTF_8, errbuf);
        text = PcapOneLine(errbuf);
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

CFileCaptureSource::CFileCaptureSource(std::string path, bool regularFileOnly)
    : path_(std::move(path)), regularFileOnly_(regularFileOnly) {}

CFileCaptureSource::~CFileCaptureSource() { Stop(); }  // the stream, before its buffer

CaptureFailure CFileCaptureSource::Activate() {
    Stop();
    std::FILE* file = nullptr;
    if (!regularFileOnly_) {
        file = path_ == "-" ? stdin : OpenStream(path_);
        if (!file) {
            error_ = path_ + ": " + std::strerror(errno);
            return CaptureFailure::Initialization;
        }
    } else {
        // Not blocking in the open of a FIFO without a writer, then checked.
        const int fd = OpenDescriptor(path_, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
    if (!handle) {
        struct stat info{};
        const bool empty = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
        if (file != stdin) std::fclose(file);  // pcap_close closes it once adopted
        if (empty)
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
