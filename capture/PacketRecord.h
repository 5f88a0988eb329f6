#pragma once
// What ORN keeps of one accepted datagram: the six short texts of its list
// row, the protocol decoder's text and, with the messages flag, a copy of the
// bytes behind the headers. Made on the heap by the capture thread, owned by
// the packet store once accepted.

#include <cstdint>
#include <memory>

class CPacketRecord {
public:
    CPacketRecord() = default;
    virtual ~CPacketRecord() = default;

    CPacketRecord(const CPacketRecord&) = delete;
    CPacketRecord& operator=(const CPacketRecord&) = delete;

    char sourceAddress[32] = {};
    char sourcePort[16] = {};        // TCP, UDP and SCTP only
    char destinationAddress[32] = {};
    char destinationPort[16] = {};   // TCP, UDP and SCTP only
    char protocolName[10] = {};      // "<unknown>" fits whole
    char lengthText[8] = {};
    char protocolText[512] = {};

    // With the messages flag: the message bytes followed by one zero byte.
    std::unique_ptr<std::uint8_t[]> messageData;
    // Bytes in messageData before its terminator (the message may hold zeros).
    std::uint32_t messageLength = 0;
};
