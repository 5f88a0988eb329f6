#pragma once
// Filters in tcpdump's capture-filter language, compiled by libpcap for raw
// IPv4 datagrams (link type IPv4: the expression sees the datagram from its
// IP header on, whatever link layer it came over). The window's display
// filter and orn-decode -F use it; pcap.h stays behind this header.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/capture/CaptureSource.h"

class CDisplayFilter {
public:
    CDisplayFilter();
    ~CDisplayFilter();
    CDisplayFilter(CDisplayFilter&&) noexcept;
    CDisplayFilter& operator=(CDisplayFilter&&) noexcept;

    // Compiles expression; on failure keeps the filter it had and returns
    // false with libpcap's message in error. An empty (or blank) expression
    // is no filter: everything matches.
    bool Compile(const std::string& expression, std::string& error);
    bool Set() const { return program != nullptr; }
    const std::string& Expression() const { return expression; }

    // One pcap_offline_filter call; true for every datagram when not set.
    bool Matches(std::span<const std::uint8_t> datagram) const;

private:
    struct Program;
    std::unique_ptr<Program> program;
    std::string expression;
};

// A capture source passing on only the datagrams that match a filter; the
// others are skipped as if never captured.
class CFilteredCaptureSource final : public ICaptureSource {
public:
    CFilteredCaptureSource(std::unique_ptr<ICaptureSource> inner, std::shared_ptr<const CDisplayFilter> filter)
        : inner(std::move(inner)), filter(std::move(filter)) {}
    CaptureFailure Startup() override { return inner->Startup(); }
    CaptureFailure FindInterface() override { return inner->FindInterface(); }
    CaptureFailure Activate() override { return inner->Activate(); }
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override;
    void Stop() override { inner->Stop(); }
    CaptureStatistics Statistics() override { return inner->Statistics(); }
    std::uint32_t InterfaceAddress() const override { return inner->InterfaceAddress(); }
    const std::string& ErrorText() const override { return inner->ErrorText(); }

private:
    std::unique_ptr<ICaptureSource> inner;
    std::shared_ptr<const CDisplayFilter> filter;
};
