#include "dialogs/Conversations.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace {

// Dotted quad to a number for ordering; what does not parse sorts first.
std::uint32_t AddressValue(const std::string& text) {
    unsigned a, b, c, d;
    return std::sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4 ? (a << 24 | b << 16 | c << 8 | d) : 0;
}

long PortValue(const std::string& text) { return text.empty() ? -1 : std::atol(text.c_str()); }

// Protocol keywords libpcap knows by name.
const char* FilterKeyword(const std::string& protocol) {
    for (const char* name : {"tcp", "udp", "sctp", "icmp", "igmp"}) {
        std::string upper(name);
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
        if (protocol == upper) return name;
    }
    return nullptr;
}

}  // namespace

std::string CConversation::Filter() const {
    std::string proto;
    if (const char* keyword = FilterKeyword(protocol))
        proto = keyword;
    else if (protocolNumber >= 0)
        proto = "ip proto " + std::to_string(protocolNumber);
    const auto way = [](const std::string& from, const std::string& fromPort, const std::string& to,
                        const std::string& toPort) {
        std::string text = "src host " + from + " and dst host " + to;
        if (!fromPort.empty()) text += " and src port " + fromPort;
        if (!toPort.empty()) text += " and dst port " + toPort;
        return "(" + text + ")";
    };
    const std::string ways = way(addressA, portA, addressB, portB) + " or " + way(addressB, portB, addressA, portA);
    return proto.empty() ? ways : proto + " and (" + ways + ")";
}

std::vector<CConversation> CountConversations(const std::vector<std::shared_ptr<const CPacketRecord>>& records) {
    std::vector<CConversation> conversations;
    std::unordered_map<std::string, std::size_t> index;
    std::string key;
    for (const auto& r : records) {
        const std::string_view source = r->sourceAddress, sourcePort = r->sourcePort;
        const std::string_view destination = r->destinationAddress, destinationPort = r->destinationPort;
        // One key for both ways: the lesser endpoint first.
        const bool swapped = std::tie(destination, destinationPort) < std::tie(source, sourcePort);
        key.assign(r->protocolName).append(1, '\t');
        key.append(swapped ? destination : source).append(1, '\t').append(swapped ? destinationPort : sourcePort);
        key.append(1, '\t').append(swapped ? source : destination).append(1, '\t');
        key.append(swapped ? sourcePort : destinationPort);
        auto [at, fresh] = index.try_emplace(key, conversations.size());
        if (fresh) {
            CConversation& c = conversations.emplace_back();
            c.protocol = r->protocolName;
            c.addressA = source, c.portA = sourcePort, c.addressB = destination, c.portB = destinationPort;
            c.firstSeconds = r->captureSeconds, c.firstNanoseconds = r->captureNanoseconds;
        }
        CConversation& c = conversations[at->second];
        if (c.protocolNumber < 0)
            if (const CHeldBytes held = r->Datagram(); held.bytes.size() > 9) c.protocolNumber = held.bytes[9];
        const bool fromA = source == c.addressA && sourcePort == c.portA;
        (fromA ? c.datagramsAB : c.datagramsBA) += 1;
        (fromA ? c.bytesAB : c.bytesBA) += r->DatagramLength();
        c.lastSeconds = r->captureSeconds, c.lastNanoseconds = r->captureNanoseconds;
    }
    return conversations;
}

void SortConversations(std::vector<CConversation>& conversations, int column, bool descending) {
    // One comparison of plain values per column: a sort of many thousands
    // makes no copies.
    const auto sortBy = [&](auto key) {
        std::stable_sort(conversations.begin(), conversations.end(),
                         [&](const CConversation& a, const CConversation& b) {
                             return descending ? key(b) < key(a) : key(a) < key(b);
                         });
    };
    using C = const CConversation&;
    switch (column) {
    case kConvAddressA: sortBy([](C c) { return AddressValue(c.addressA); }); break;
    case kConvAddressB: sortBy([](C c) { return AddressValue(c.addressB); }); break;
    case kConvPortA: sortBy([](C c) { return PortValue(c.portA); }); break;
    case kConvPortB: sortBy([](C c) { return PortValue(c.portB); }); break;
    case kConvDatagramsAB: sortBy([](C c) { return c.datagramsAB; }); break;
    case kConvBytesAB: sortBy([](C c) { return c.bytesAB; }); break;
    case kConvDatagramsBA: sortBy([](C c) { return c.datagramsBA; }); break;
    case kConvBytesBA: sortBy([](C c) { return c.bytesBA; }); break;
    case kConvFirst: sortBy([](C c) { return std::pair(c.firstSeconds, c.firstNanoseconds); }); break;
    case kConvLast: sortBy([](C c) { return std::pair(c.lastSeconds, c.lastNanoseconds); }); break;
    default: sortBy([](C c) { return std::string_view(c.protocol); }); break;
    }
}

std::string ConversationCell(const CConversation& c, int column) {
    const auto time = [](std::int64_t seconds, std::uint32_t nanoseconds) {
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm local{};
        if (const std::tm* at = std::localtime(&t)) local = *at;  // the window thread's alone
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03u", local.tm_hour, local.tm_min, local.tm_sec,
                      nanoseconds / 1000000u);
        return std::string(text);
    };
    switch (column) {
    case kConvProtocol: return c.protocol;
    case kConvAddressA: return c.addressA;
    case kConvPortA: return c.portA;
    case kConvAddressB: return c.addressB;
    case kConvPortB: return c.portB;
    case kConvDatagramsAB: return std::to_string(c.datagramsAB);
    case kConvBytesAB: return std::to_string(c.bytesAB);
    case kConvDatagramsBA: return std::to_string(c.datagramsBA);
    case kConvBytesBA: return std::to_string(c.bytesBA);
    case kConvFirst: return time(c.firstSeconds, c.firstNanoseconds);
    case kConvLast: return time(c.lastSeconds, c.lastNanoseconds);
    default: return {};
    }
}
