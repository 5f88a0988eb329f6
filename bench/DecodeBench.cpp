// DecodeIpDatagram as the capture thread runs it: a record made for every
// datagram, decoded into the text area, then appended to a full packet store
// (which drops its oldest record each time), over a mix of protocols and
// sizes like a busy host's traffic.

#include <array>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "capture/PacketStore.h"
#include "decode/IpDatagram.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Datagram(std::uint8_t protocol, std::size_t size, std::mt19937& random) {
    Bytes d(size);
    for (auto& b : d) b = static_cast<std::uint8_t>(random());
    d[0] = 0x45;
    d[1] = 0;
    d[2] = static_cast<std::uint8_t>(size >> 8);
    d[3] = static_cast<std::uint8_t>(size);
    d[6] = 0x40;
    d[8] = 64;
    d[9] = protocol;
    const std::array<std::uint8_t, 8> addresses{192, 168, 1, static_cast<std::uint8_t>(random() % 254 + 1),
                                                10,  0,   0, static_cast<std::uint8_t>(random() % 254 + 1)};
    std::copy(addresses.begin(), addresses.end(), d.begin() + 12);
    if (protocol == 6 && size >= 52) {
        d[32] = 0x80;  // data offset 8: 12 bytes of options
        d[33] = 0x18;
    }
    return d;
}

// Small frames (acknowledgements, queries) and full ones, little in between.
std::size_t FrameSize(std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> small(40, 120), large(1200, 1500), middle(121, 1199);
    const unsigned pick = random() % 100;
    if (pick < 55) return small(random);
    if (pick < 90) return large(random);
    return middle(random);
}

const std::vector<Bytes>& Mix() {
    static const std::vector<Bytes> mix = [] {
        std::mt19937 random(2024);
        const std::array<std::uint8_t, 8> others{132, 50, 51, 103, 112, 4, 58, 200};
        std::vector<Bytes> datagrams;
        for (int i = 0; i < 4096; ++i) {
            const unsigned pick = random() % 100;
            std::uint8_t protocol = 6;
            if (pick >= 60) protocol = 17;
            if (pick >= 85) protocol = 1;
            if (pick >= 90) protocol = 2;
            if (pick >= 93) protocol = 47;
            if (pick >= 95) protocol = 89;
            if (pick >= 97) protocol = others[random() % others.size()];
            std::size_t size = FrameSize(random);
            if (protocol == 1 || protocol == 2 || protocol == 89) size = std::min<std::size_t>(size, 120);
            datagrams.push_back(Datagram(protocol, size, random));
        }
        return datagrams;
    }();
    return mix;
}

void DecodeMix(benchmark::State& state, int fullInfo, int messages) {
    const std::vector<Bytes>& mix = Mix();
    static std::array<char, kDecodedTextSize> text;  // never cleared, as in the capture loop
    const std::vector<std::uint32_t> noAddrs;
    const std::vector<std::uint16_t> noPorts;
    // At the limit from the start: every append also drops a record.
    static CPacketStore store;
    while (store.Count() < CPacketStore::kLimit) store.Append(std::make_unique<CPacketRecord>());
    std::size_t next = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Bytes& d = mix[next];
        next = (next + 1) % mix.size();
        auto record = std::make_unique<CPacketRecord>();
        int accepted = 0;
        int textLength = 0;
        DecodeIpDatagram(d, static_cast<std::uint32_t>(d.size()), accepted, text, textLength, noAddrs, noAddrs,
                         noPorts, noPorts, fullInfo, messages, *record);
        benchmark::DoNotOptimize(textLength);
        store.Append(std::move(record));
        bytes += d.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void ReducedInfo(benchmark::State& state) { DecodeMix(state, 0, 0); }
void ReducedInfoWithMessages(benchmark::State& state) { DecodeMix(state, 0, 1); }
void FullInfo(benchmark::State& state) { DecodeMix(state, 1, 0); }
void FullInfoWithMessages(benchmark::State& state) { DecodeMix(state, 1, 1); }

BENCHMARK(ReducedInfo);
BENCHMARK(ReducedInfoWithMessages);
BENCHMARK(FullInfo);
BENCHMARK(FullInfoWithMessages);

}  // namespace

BENCHMARK_MAIN();
