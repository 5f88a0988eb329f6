#include "decode/ProtocolTable.h"

#include <array>

namespace {

constexpr std::array<ProtocolEntry, 32> kProtocols{{
    {1, "ICMP", DecodeIcmp, nullptr},
    {2, "IGMP", DecodeIgmp, nullptr},
    {3, "GGP", DecodeGgp, nullptr},
    {4, "IPinIP", DecodeIpInIp, nullptr},
    {6, "TCP", nullptr, DecodeTcp},
    {7, "CBT", DecodeCbt, nullptr},
    {11, "NVP", DecodeNvp, nullptr},
    {17, "UDP", nullptr, DecodeUdp},
    {18, "TMux", DecodeTmux, nullptr},
    {20, "HMP", DecodeHmp, nullptr},
    {27, "RDP", DecodeRdp, nullptr},
    {28, "IRTP", DecodeIrtp, nullptr},
    {30, "NETBLT", DecodeNetblt, nullptr},
    {35, "IDPR", DecodeIdrp, nullptr},  // 35 and 38 are one entry with two numbers
    {38, "IDPR", DecodeIdrp, nullptr},
    {42, "SDRP", DecodeSdrp, nullptr},
    {46, "RSVP", DecodeRsvp, nullptr},
    {47, "GRE", DecodeGre, nullptr},
    {50, "ESP", DecodeEsp, nullptr},
    {51, "AH", DecodeAh, nullptr},
    {54, "NARP", DecodeNarp, nullptr},
    {55, "MEP", DecodeMep, nullptr},
    {57, "SKIP", DecodeSkip, nullptr},
    {58, "ICMPv6", DecodeIcmpv6, nullptr},
    {81, "VMTP", DecodeVmtp, nullptr},
    {89, "OSPF", DecodeOspf, nullptr},
    {92, "MTP", DecodeMtp, nullptr},
    {101, "IFMP", DecodeIfmp, nullptr},
    {103, "PIM", DecodePim, nullptr},
    {108, "IPPCP", DecodeIppcp, nullptr},
    {112, "VRRP", DecodeVrrp, nullptr},
    {132, "SCTP", nullptr, DecodeSctp},
}};

// Protocol number to index into kProtocols, -1 for none: one load per datagram.
constexpr std::array<std::int8_t, 256> MakeIndex() {
    std::array<std::int8_t, 256> index{};
    for (auto& i : index) i = -1;
    for (std::size_t i = 0; i < kProtocols.size(); ++i) index[kProtocols[i].number] = static_cast<std::int8_t>(i);
    return index;
}
constexpr std::array<std::int8_t, 256> kIndex = MakeIndex();

}  // namespace

const ProtocolEntry* FindProtocol(std::uint8_t number) {
    const int i = kIndex[number];
    return i < 0 ? nullptr : &kProtocols[static_cast<std::size_t>(i)];
}
