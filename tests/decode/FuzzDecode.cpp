// Arbitrary datagrams, received lengths, text areas and filter lists into
// DecodeIpDatagram. The sanitizers catch any read or write out of bounds;
// the checks below catch results that break the decoder's promises.
//
// Input: byte 0 selects the flags, the filter lists and the length mode,
// byte 1 the size of a second, smaller text area; the rest is the datagram.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "decode/IpDatagram.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

struct Lists {
    std::vector<std::uint32_t> srcAddrs, destAddrs;
    std::vector<std::uint16_t> srcPorts, destPorts;
};

std::uint32_t Word(const std::uint8_t* bytes, std::size_t size, std::size_t offset) {
    std::uint32_t value = 0;
    if (offset + 4 <= size) std::memcpy(&value, bytes + offset, 4);
    return value;
}

// Lists built from the datagram's own addresses so that matches happen,
// some damaged (address and port lists of different lengths).
Lists MakeLists(unsigned mode, const std::uint8_t* d, std::size_t size) {
    const std::uint32_t source = Word(d, size, 12), destination = Word(d, size, 16);
    const auto port = static_cast<std::uint16_t>(size > 21 ? d[20] << 8 | d[21] : 0);
    switch (mode & 3) {
        case 1: return {{source ^ 1, source}, {}, {0, port}, {}};
        case 2: return {{0x01020304, source}, {destination}, {0}, {0, 80, 443}};
        case 3: return {{destination}, {destination, destination}, {}, {static_cast<std::uint16_t>(port + 1)}};
        default: return {};
    }
}

struct Result {
    int accepted = -1;
    int textLength = -1;
    std::vector<char> area;
    std::unique_ptr<CPacketRecord> record = std::make_unique<CPacketRecord>();
};

Result Run(std::span<const std::uint8_t> datagram, std::uint32_t receivedLength, std::size_t areaSize,
           const Lists& l, int fullInfo, int messages) {
    Result r;
    r.area.assign(areaSize, '\x7f');
    DecodeIpDatagram(datagram, receivedLength, r.accepted, r.area, r.textLength, l.srcAddrs, l.destAddrs,
                     l.srcPorts, l.destPorts, fullInfo, messages, *r.record);
    Require(r.accepted == 0 || r.accepted == 1);
    if (r.accepted == 0) return r;

    const CPacketRecord& rec = *r.record;
    Require(r.textLength >= 0 && static_cast<std::size_t>(r.textLength) <= areaSize);
    if (static_cast<std::size_t>(r.textLength) < areaSize) Require(r.area[r.textLength] == '\0');
    const auto terminated = [](const auto& field) { return strnlen(field, sizeof field) < sizeof field; };
    Require(terminated(rec.sourceAddress) && terminated(rec.destinationAddress) && terminated(rec.sourcePort) &&
            terminated(rec.destinationPort) && terminated(rec.protocolName) && terminated(rec.lengthText));
    // Every decoder's text fits its record field with room to spare: never cut.
    Require(strnlen(rec.protocolText, sizeof rec.protocolText) < sizeof rec.protocolText - 1);

    const std::size_t available = std::min<std::size_t>(datagram.size(), receivedLength);
    // The record keeps the datagram whole; the message is its tail, shown
    // with the messages flag only.
    const CHeldBytes kept = rec.Datagram(), message = rec.Message();
    Require(!kept.released && kept.bytes.size() == available &&
            (available == 0 || std::memcmp(kept.bytes.data(), datagram.data(), available) == 0));
    Require(rec.HasMessage() == messages && !message.released);
    Require(messages ? message.bytes.data() + message.bytes.size() == kept.bytes.data() + available
                     : message.bytes.empty());

    // The text holds the IP part, then the protocol text whole (when it fits).
    const std::string_view text(r.area.data(), static_cast<std::size_t>(r.textLength));
    Require(std::string_view("IP HEADER\t").substr(0, text.size()) == text.substr(0, 10));
    if (areaSize == kDecodedTextSize && rec.protocolText[0] != '\0') {
        Require(text.find(rec.protocolText) != std::string_view::npos);
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned control = data[0];
    const std::size_t smallArea = data[1] * 3u;
    // An exact heap copy, so a read one byte past the datagram is caught.
    const std::vector<std::uint8_t> datagram(data + 2, data + size);
    const std::size_t length = datagram.size();

    // The received length: as held, less than the buffer holds, more, or far more.
    const std::uint32_t lengths[4] = {static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(length / 2),
                                      static_cast<std::uint32_t>(length + 1 + data[1]), 0xFFFFFFFFu - data[1]};
    const std::uint32_t receivedLength = lengths[control >> 6];
    const Lists lists = MakeLists(control >> 2, datagram.data(), length);
    const int fullInfo = control & 1;
    const int messages = (control >> 1) & 1;

    const Result whole = Run(datagram, receivedLength, kDecodedTextSize, lists, fullInfo, messages);
    const Result cut = Run(datagram, receivedLength, smallArea, lists, fullInfo, messages);
    // The decision and the record never depend on the area; the text in a
    // smaller area is a prefix of the whole text.
    Require(whole.accepted == cut.accepted);
    if (whole.accepted == 1) {
        Require(cut.textLength == std::min(whole.textLength, static_cast<int>(smallArea)));
        Require(cut.textLength == 0 ||
                std::memcmp(whole.area.data(), cut.area.data(), static_cast<std::size_t>(cut.textLength)) == 0);
        Require(std::strcmp(whole.record->protocolText, cut.record->protocolText) == 0);
        Require(std::strcmp(whole.record->lengthText, cut.record->lengthText) == 0);
    }
    // The other flags on the same datagram.
    Run(datagram, receivedLength, kDecodedTextSize, lists, !fullInfo, !messages);
    return 0;
}
