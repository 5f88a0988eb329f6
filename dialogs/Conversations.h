#pragma once
// Who talks to whom among the records kept: one conversation per protocol
// and pair of endpoints (address, and port where the protocol has ports),
// whichever way its datagrams went. A is the endpoint that sent the first
// datagram seen. Built from the records' texts, so records whose bytes were
// released for the memory budget still count. No toolkit here.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/PacketRecord.h"

struct CConversation {
    std::string protocol, addressA, portA, addressB, portB;
    int protocolNumber = -1;  // from a datagram still held; -1: none was
    std::uint64_t datagramsAB = 0, bytesAB = 0, datagramsBA = 0, bytesBA = 0;
    std::int64_t firstSeconds = 0, lastSeconds = 0;
    std::uint32_t firstNanoseconds = 0, lastNanoseconds = 0;

    // The display filter for exactly this conversation, both ways.
    std::string Filter() const;
};

enum ConversationColumn {
    kConvProtocol, kConvAddressA, kConvPortA, kConvAddressB, kConvPortB, kConvDatagramsAB, kConvBytesAB,
    kConvDatagramsBA, kConvBytesBA, kConvFirst, kConvLast, kConvColumns
};

// The conversations of the records, in the order first seen.
std::vector<CConversation> CountConversations(const std::vector<std::shared_ptr<const CPacketRecord>>& records);

// Sorts by a column: numbers and times by value, addresses by their
// numbers, texts as text; ties keep their order.
void SortConversations(std::vector<CConversation>& conversations, int column, bool descending);

// A cell as the window shows it; times as local time of day.
std::string ConversationCell(const CConversation& conversation, int column);
