#include "platform/helper/HelperProtocol.h"

#include <cstring>

namespace {

constexpr std::uint8_t kVersion = 1;
constexpr char kRequestMagic[4] = {'O', 'R', 'N', 'q'};
constexpr char kReportMagic[4] = {'O', 'R', 'N', 'r'};

class CWriter {
public:
    explicit CWriter(const char (&magic)[4], std::uint8_t kind) {
        bytes.insert(bytes.end(), magic, magic + 4);
        bytes.push_back(kVersion);
        bytes.push_back(kind);
    }
    void Integer(std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void Text(const std::string& text, int lengthSize) {
        Integer(text.size(), lengthSize);
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    std::vector<std::uint8_t> bytes;
};

// Reads fields front to back; any read past the end spoils the whole message.
class CReader {
public:
    explicit CReader(std::span<const std::uint8_t> bytes) : rest(bytes) {}
    bool Magic(const char (&magic)[4]) {
        if (rest.size() < 6 || std::memcmp(rest.data(), magic, 4) != 0 || rest[4] != kVersion) return false;
        rest = rest.subspan(5);
        return true;
    }
    std::uint64_t Integer(int size) {
        if (rest.size() < static_cast<std::size_t>(size)) {
            ok = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(rest[i]) << (8 * i);
        rest = rest.subspan(static_cast<std::size_t>(size));
        return value;
    }
    std::string Text(int lengthSize, std::size_t max) {
        const std::uint64_t length = Integer(lengthSize);
        if (!ok || length > max || length > rest.size()) {
            ok = false;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(rest.data()), static_cast<std::size_t>(length));
        rest = rest.subspan(static_cast<std::size_t>(length));
        return text;
    }
    // Every field read and nothing left over.
    bool Complete() const { return ok && rest.empty(); }

    bool ok = true;

private:
    std::span<const std::uint8_t> rest;
};

std::uint32_t HostOrder(std::uint32_t networkOrder) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&networkOrder);
    return static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

std::uint32_t NetworkOrder(std::uint32_t hostOrder) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(hostOrder >> 24), static_cast<std::uint8_t>(hostOrder >> 16),
                               static_cast<std::uint8_t>(hostOrder >> 8), static_cast<std::uint8_t>(hostOrder)};
    std::uint32_t value;
    std::memcpy(&value, b, sizeof value);
    return value;
}

}  // namespace

bool IsValidInterfaceName(const std::string& name, bool label) {
    if (name.empty() || name.size() > kInterfaceNameMax || name == "." || name == "..") return false;
    for (const char c : name)
        if (c <= ' ' || c >= 0x7F || c == '/' || (c == ':' && !label)) return false;
    return true;
}

std::uint32_t EchoSweepAddress(std::uint32_t first, std::size_t index) {
    const std::uint64_t address = std::uint64_t{HostOrder(first)} + index;
    return address > 0xFFFFFFFF ? 0 : NetworkOrder(static_cast<std::uint32_t>(address));
}

bool IsEchoTarget(std::uint32_t address, std::uint32_t interfaceAddress, std::uint32_t netmask) {
    const std::uint32_t mask = HostOrder(netmask), hosts = ~mask;
    // Contiguous, and no wider than a /24.
    if ((hosts & (hosts + 1)) != 0 || hosts > 0xFF) return false;
    const std::uint32_t a = HostOrder(address);
    if ((a & mask) != (HostOrder(interfaceAddress) & mask)) return false;
    return (a & hosts) != 0 && (a & hosts) != hosts;
}

std::string EchoSweepRefusal(const HelperRequest& request, const std::vector<CInterfaceAddress>& entries) {
    bool named = false;
    for (const CInterfaceAddress& entry : entries) {
        if (entry.name != request.interfaceName) continue;
        named = true;
        bool all = entry.up;
        for (std::size_t i = 0; all && i < request.count; ++i)
            all = IsEchoTarget(EchoSweepAddress(request.first, i), entry.address, entry.netmask);
        if (all) return {};
    }
    return request.interfaceName + (named ? ": not every address is a host of a network of it that is up"
                                          : ": no such interface with an IPv4 address");
}

std::vector<std::uint8_t> EncodeRequest(const HelperRequest& request) {
    CWriter out(kRequestMagic, static_cast<std::uint8_t>(request.kind));
    out.Text(request.interfaceName, 1);
    if (request.kind == HelperRequestKind::EchoSweep) {
        out.Integer(request.first, 4);
        out.Integer(request.count, 2);
        out.Integer(request.waitMs, 2);
    }
    return out.bytes;
}

std::optional<HelperRequest> ParseRequest(std::span<const std::uint8_t> bytes) {
    CReader in(bytes);
    if (!in.Magic(kRequestMagic)) return std::nullopt;
    HelperRequest request;
    const std::uint64_t kind = in.Integer(1);
    request.interfaceName = in.Text(1, kInterfaceNameMax);
    if (kind == static_cast<std::uint8_t>(HelperRequestKind::EchoSweep)) {
        request.first = static_cast<std::uint32_t>(in.Integer(4));
        request.count = static_cast<std::uint16_t>(in.Integer(2));
        request.waitMs = static_cast<std::uint16_t>(in.Integer(2));
    }
    if (!in.Complete()) return std::nullopt;
    switch (kind) {
    case static_cast<std::uint8_t>(HelperRequestKind::Capture):
        if (!request.interfaceName.empty() && !IsValidInterfaceName(request.interfaceName)) return std::nullopt;
        request.kind = HelperRequestKind::Capture;
        return request;
    case static_cast<std::uint8_t>(HelperRequestKind::EchoSweep):
        if (!IsValidInterfaceName(request.interfaceName, true) || request.count == 0 || request.count > kEchoSweepMax ||
            request.waitMs < kEchoWaitMinMs || request.waitMs > kEchoWaitMaxMs)
            return std::nullopt;
        request.kind = HelperRequestKind::EchoSweep;
        return request;
    case static_cast<std::uint8_t>(HelperRequestKind::Stop):
        if (!request.interfaceName.empty()) return std::nullopt;
        request.kind = HelperRequestKind::Stop;
        return request;
    default:
        return std::nullopt;
    }
}

std::vector<std::uint8_t> EncodeReport(const HelperReport& report) {
    CWriter out(kReportMagic, static_cast<std::uint8_t>(report.kind));
    switch (report.kind) {
    case HelperReportKind::Started:
        out.Integer(report.address, 4);
        out.Text(report.interfaceName.substr(0, kInterfaceNameMax), 1);
        break;
    case HelperReportKind::Failed:
        out.Integer(static_cast<std::uint8_t>(report.failure), 1);
        out.Text(report.text.substr(0, kFailureTextMax), 2);
        break;
    case HelperReportKind::Statistics:
        out.Integer(report.kernelReceived, 8);
        out.Integer(report.kernelDropped, 8);
        out.Integer(report.interfaceDropped, 8);
        break;
    case HelperReportKind::EchoResult:
        out.Integer(report.address, 4);
        out.Integer(report.sent, 2);
        out.Integer(report.answered ? 1 : 0, 1);
        break;
    }
    return out.bytes;
}

std::optional<HelperReport> ParseReport(std::span<const std::uint8_t> bytes) {
    CReader in(bytes);
    if (!in.Magic(kReportMagic)) return std::nullopt;
    HelperReport report;
    const std::uint64_t kind = in.Integer(1);
    switch (kind) {
    case static_cast<std::uint8_t>(HelperReportKind::Started):
        report.address = static_cast<std::uint32_t>(in.Integer(4));
        report.interfaceName = in.Text(1, kInterfaceNameMax);
        break;
    case static_cast<std::uint8_t>(HelperReportKind::Failed): {
        const std::uint64_t failure = in.Integer(1);
        if (failure < static_cast<std::uint8_t>(CaptureFailure::Initialization) ||
            failure > static_cast<std::uint8_t>(CaptureFailure::Permission))
            return std::nullopt;
        report.failure = static_cast<CaptureFailure>(failure);
        report.text = in.Text(2, kFailureTextMax);
        break;
    }
    case static_cast<std::uint8_t>(HelperReportKind::Statistics):
        report.kernelReceived = in.Integer(8);
        report.kernelDropped = in.Integer(8);
        report.interfaceDropped = in.Integer(8);
        break;
    case static_cast<std::uint8_t>(HelperReportKind::EchoResult): {
        report.address = static_cast<std::uint32_t>(in.Integer(4));
        report.sent = static_cast<std::uint16_t>(in.Integer(2));
        const std::uint64_t answered = in.Integer(1);
        if (answered > 1 || (answered && !report.sent)) return std::nullopt;
        report.answered = answered == 1;
        break;
    }
    default:
        return std::nullopt;
    }
    if (!in.Complete()) return std::nullopt;
    report.kind = static_cast<HelperReportKind>(kind);
    return report;
}
