#include "capture/PcapngWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescriptionBlock = 1;
constexpr std::uint32_t kEnhancedPacketBlock = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kShbUserApplication = 4;
constexpr std::uint16_t kIfTimeResolution = 9;
constexpr std::uint8_t kNanoseconds = 9;  // 10^-9
constexpr char kApplication[] = "ORN";

constexpr std::size_t kBufferSize = 1024 * 1024;
constexpr std::uint64_t kNanosecondsPerSecond = 1000000000;

constexpr std::uint32_t Padded(std::uint32_t length) { return (length + 3) & ~3u; }

// A name in the target's directory that nobody else uses: ".NAME.orn-PID-N".
std::string TemporaryName(const std::string& path, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".orn-%ld-%u-%ld", static_cast<long>(getpid()), counter++ + attempt,
                  static_cast<long>(now.tv_nsec));
    return dir + "." + base + suffix;
}

}  // namespace

CPcapngWriter::~CPcapngWriter() { Discard(); }

bool CPcapngWriter::Fail(const std::string& what, int error) {
    if (error_.empty()) error_ = error ? what + ": " + std::strerror(error) : what;
    return false;
}

bool CPcapngWriter::Open(const std::string& path) {
    Discard();
    error_.clear();
    written_ = 0;
    path_ = path;
    if (path.empty() || path.back() == '/') return Fail("not a file name", 0);
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = TemporaryName(path, attempt);
        // The mode a new file gets, less the umask, as if written in place.
        fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) {
            temp_.clear();
            return Fail("cannot create a file there", errno);
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        return Fail("cannot create a file there", EEXIST);
    }
    buffer_.reserve(kBufferSize + 2 * kMaxDatagram);

    // Section header: byte-order magic, version 1.0, length unknown (-1).
    const std::uint32_t applicationOption = 4 + Padded(sizeof kApplication - 1);
    const std::uint32_t sectionLength = 28 + applicationOption + 4;
    Put32(kSectionHeaderBlock);
    Put32(sectionLength);
    Put32(kByteOrderMagic);
    Put16(1);
    Put16(0);
    Put32(0xFFFFFFFF);
    Put32(0xFFFFFFFF);
    Put16(kShbUserApplication);
    Put16(sizeof kApplication - 1);
    PutPadded(reinterpret_cast<const std::uint8_t*>(kApplication), sizeof kApplication - 1);
    Put16(kOptionEnd);
    Put16(0);
    Put32(sectionLength);

    // The one interface: raw IPv4, nanosecond time stamps.
    const std::uint32_t interfaceLength = 20 + 8 + 4;
    Put32(kInterfaceDescriptionBlock);
    Put32(interfaceLength);
    Put16(kLinkTypeIpv4);
    Put16(0);
    Put32(kMaxDatagram);
    Put16(kIfTimeResolution);
    Put16(1);
    PutPadded(&kNanoseconds, 1);
    Put16(kOptionEnd);
    Put16(0);
    Put32(interfaceLength);
    return true;
}

bool CPcapngWriter::Write(std::span<const std::uint8_t> datagram, std::int64_t seconds, std::uint32_t nanoseconds) {
    if (fd_ < 0) return Fail("the file is not open", 0);
    if (!error_.empty()) return false;
    if (datagram.size() > kMaxDatagram)
        return Fail("a datagram of " + std::to_string(datagram.size()) + " bytes is longer than IPv4 allows", 0);
    const auto length = static_cast<std::uint32_t>(datagram.size());
    // Nanoseconds since 1970 in 64 bits, which end in the year 2554: held there.
    constexpr std::uint64_t kLastSecond = UINT64_MAX / kNanosecondsPerSecond - 1;
    std::uint64_t stamp = 0;
    if (seconds >= 0)
        stamp = std::min(static_cast<std::uint64_t>(seconds), kLastSecond) * kNanosecondsPerSecond +
                std::min<std::uint64_t>(nanoseconds, kNanosecondsPerSecond - 1);

    const std::uint32_t blockLength = 32 + Padded(length);
    Put32(kEnhancedPacketBlock);
    Put32(blockLength);
    Put32(0);  // interface 0
    Put32(static_cast<std::uint32_t>(stamp >> 32));
    Put32(static_cast<std::uint32_t>(stamp));
    Put32(length);  // captured
    Put32(length);  // on the wire, as far as anyone kept it
    PutPadded(datagram.data(), length);
    Put32(blockLength);
    ++written_;
    return buffer_.size() < kBufferSize || Flush();
}

bool CPcapngWriter::Commit() {
    if (fd_ < 0) return Fail("the file is not open", 0);
    if (!Flush()) {
        Discard();
        return false;
    }
    if (fsync(fd_) != 0) {
        Fail("cannot write the file", errno);
        Discard();
        return false;
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail("cannot write the file", errno);
        Discard();
        return false;
    }
    if (rename(temp_.c_str(), path_.c_str()) != 0) {
        Fail("cannot put the file in place", errno);
        Discard();
        return false;
    }
    temp_.clear();
    // The new name to the disk as well; a failure here loses nothing written.
    const std::size_t slash = path_.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void CPcapngWriter::Discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
}

// Little-endian, as the section header's byte-order magic says.
void CPcapngWriter::Put16(std::uint16_t value) {
    buffer_.push_back(static_cast<std::uint8_t>(value));
    buffer_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void CPcapngWriter::Put32(std::uint32_t value) {
    Put16(static_cast<std::uint16_t>(value));
    Put16(static_cast<std::uint16_t>(value >> 16));
}

// Bytes, then zeros up to the next multiple of four (packet data and option
// values).
void CPcapngWriter::PutPadded(const std::uint8_t* bytes, std::size_t size) {
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    buffer_.resize(buffer_.size() + (4 - size % 4) % 4, 0);
}

bool CPcapngWriter::Flush() {
    if (!error_.empty()) return false;
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("cannot write the file", n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}
