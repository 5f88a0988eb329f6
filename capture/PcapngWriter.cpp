#include "capture/PcapngWriter.h"

#include <algorithm>
#include <cstring>

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
    if (path.empty() || path.back() == '/') return Fail("not a file name", 0);
    if (const int error = file_.Open(path))
        return Fail(error == CReplacementFile::kNotRegular ? "not a regular file, which a save would replace"
                                                           : "cannot create a file there",
                    std::max(error, 0));
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
    if (!file_.IsOpen()) return Fail("the file is not open", 0);
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
    if (!file_.IsOpen()) return Fail("the file is not open", 0);
    if (!Flush()) {
        Discard();
        return false;
    }
    bool placing = false;
    if (const int error = file_.Commit(placing))
        return Fail(placing ? "cannot put the file in place" : "cannot write the file", error);
    return true;
}

void CPcapngWriter::Discard() {
    file_.Discard();
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
    if (const int error = file_.Write(buffer_.data(), buffer_.size())) return Fail("cannot write the file", error);
    buffer_.clear();
    return true;
}
