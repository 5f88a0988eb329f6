#pragma once
// Writes IPv4 datagrams as a pcapng capture that Wireshark, tshark, tcpdump
// and libpcap read: one section, one interface of link type LINKTYPE_IPV4
// (each packet is a datagram from its IP header on), time stamps in
// nanoseconds. The file appears whole or not at all, and a process killed
// part way leaves nothing behind (see CReplacementFile). The first failure
// sticks: every later call fails and Commit() drops what was written.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/capture/ReplacementFile.h"

class CPcapngWriter {
public:
    static constexpr std::uint16_t kLinkTypeIpv4 = 228;
    // The largest IPv4 datagram; the interface's snap length.
    static constexpr std::uint32_t kMaxDatagram = 65535;

    CPcapngWriter() = default;
    // Discard().
    ~CPcapngWriter();
    CPcapngWriter(const CPcapngWriter&) = delete;
    CPcapngWriter& operator=(const CPcapngWriter&) = delete;

    // Creates the file that will replace path and writes the section header
    // and the interface description.
    bool Open(const std::string& path);
    // One packet with its capture time (calendar seconds and nanoseconds;
    // times before 1970 are written as 1970). A datagram longer than
    // kMaxDatagram is a failure.
    bool Write(std::span<const std::uint8_t> datagram, std::int64_t seconds, std::uint32_t nanoseconds);
    // Everything to the disk, then the file takes the target's name.
    bool Commit();
    // Drops what was written; the target stays as it was.
    void Discard();

    std::uint64_t Written() const { return written_; }
    // The first failure, in words; empty while there is none.
    const std::string& Error() const { return error_; }

private:
    void Put16(std::uint16_t value);
    void Put32(std::uint32_t value);
    void PutPadded(const std::uint8_t* bytes, std::size_t size);
    bool Flush();
    bool Fail(const std::string& what, int error);

    CReplacementFile file_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t written_ = 0;
    std::string error_;
};
