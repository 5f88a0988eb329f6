#include "platform/capture/DisplayFilter.h"

#include <pcap/pcap.h>

#include <algorithm>

struct CDisplayFilter::Program {
    bpf_program code{};
    ~Program() { pcap_freecode(&code); }
};

CDisplayFilter::CDisplayFilter() = default;
CDisplayFilter::~CDisplayFilter() = default;
CDisplayFilter::CDisplayFilter(CDisplayFilter&&) noexcept = default;
CDisplayFilter& CDisplayFilter::operator=(CDisplayFilter&&) noexcept = default;

bool CDisplayFilter::Compile(const std::string& text, std::string& error) {
    if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return c == ' ' || c == '\t'; })) {
        program.reset();
        expression.clear();
        return true;
    }
    pcap_t* dead = pcap_open_dead(DLT_IPV4, 65535);
    if (!dead) {
        error = "libpcap cannot compile filters";
        return false;
    }
    auto compiled = std::make_unique<Program>();
    // Netmask unknown: only "ip broadcast" needs it, and it is refused then.
    const bool ok = pcap_compile(dead, &compiled->code, text.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0;
    if (!ok) {
        error = pcap_geterr(dead);
        compiled->code = {};
    }
    pcap_close(dead);
    if (!ok) return false;
    program = std::move(compiled);
    expression = text;
    return true;
}

bool CDisplayFilter::Matches(std::span<const std::uint8_t> datagram) const {
    if (!program) return true;
    pcap_pkthdr header{};
    header.caplen = header.len = static_cast<bpf_u_int32>(datagram.size());
    return pcap_offline_filter(&program->code, &header, datagram.data()) != 0;
}

ReceiveResult CFilteredCaptureSource::Receive(CapturedDatagram& datagram, int timeoutMs) {
    // A long stretch of datagrams that do not match still lets the run look
    // at its stop flag now and then.
    for (int skipped = 0; skipped < 256; ++skipped) {
        const ReceiveResult result = inner->Receive(datagram, timeoutMs);
        if (result != ReceiveResult::Datagram || filter->Matches({datagram.data, datagram.length}))
            return result;
    }
    return ReceiveResult::NothingYet;
}
