#include "discovery/EchoMessage.h"

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::size_t kIcmpEchoHeaderSize = 8;

}  // namespace

std::uint16_t IcmpChecksum(std::span<const std::uint8_t> bytes)
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += static_cast<std::uint32_t>(bytes[i] | bytes[i + 1] << 8);
    if (i < bytes.size())
        sum += bytes[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum);
}

void BuildEchoRequest(std::span<std::uint8_t, kEchoRequestSize> request, std::uint16_t identifier,
                      std::uint32_t address)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(&address);
    const std::uint8_t layout[kEchoRequestSize] = {
        kEchoRequest, 0, 0, 0,
        static_cast<std::uint8_t>(identifier & 0xFF), static_cast<std::uint8_t>(identifier >> 8),
        0, 0,
        data[0], data[1], data[2], data[3]};
    for (std::size_t i = 0; i < kEchoRequestSize; ++i)
        request[i] = layout[i];
    const std::uint16_t checksum = IcmpChecksum(request);
    request[2] = static_cast<std::uint8_t>(checksum & 0xFF);
    request[3] = static_cast<std::uint8_t>(checksum >> 8);
}

int IsEchoReplyForUs(std::span<const std::uint8_t> received, std::uint16_t identifier,
                     bool ipHeaderIncluded)
{
    if (received.empty())
        return 0;
    const std::size_t h = ipHeaderIncluded ? static_cast<std::size_t>(received[0] & 0x0F) * 4 : 0;
    if (received.size() < h + kIcmpEchoHeaderSize)
        return 0;
    if (received[h] != kEchoReply)
        return 0;
    const auto carried = static_cast<std::uint16_t>(received[h + 4] | received[h + 5] << 8);
    return carried == identifier ? 1 : 0;
}
