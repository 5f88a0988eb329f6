#pragma once
// What the capture run's tests share: datagrams as bytes, capture files made
// from them, a throw-away directory, and a window that records the requests.

#include <arpa/inet.h>
#include <pcap/pcap.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "capture/CaptureWindow.h"

using Bytes = std::vector<std::uint8_t>;

// An IPv4 datagram with a 20-byte header and the given transport bytes.
inline Bytes Ipv4(const char* from, const char* to, std::uint8_t protocol, const Bytes& transport) {
    const std::size_t total = 20 + transport.size();
    Bytes d = {0x45, 0, std::uint8_t(total >> 8), std::uint8_t(total), 0x12, 0x34, 0x40, 0, 64, protocol, 0, 0};
    const std::uint32_t a = inet_addr(from), b = inet_addr(to);
    d.insert(d.end(), reinterpret_cast<const std::uint8_t*>(&a), reinterpret_cast<const std::uint8_t*>(&a) + 4);
    d.insert(d.end(), reinterpret_cast<const std::uint8_t*>(&b), reinterpret_cast<const std::uint8_t*>(&b) + 4);
    d.insert(d.end(), transport.begin(), transport.end());
    return d;
}

inline Bytes Udp(const char* from, const char* to, std::uint16_t sourcePort, std::uint16_t destPort,
                 const std::string& payload) {
    const std::size_t length = 8 + payload.size();
    Bytes t = {std::uint8_t(sourcePort >> 8), std::uint8_t(sourcePort), std::uint8_t(destPort >> 8),
               std::uint8_t(destPort),        std::uint8_t(length >> 8),   std::uint8_t(length), 0, 0};
    t.resize(length);  // not insert: GCC 12 warns wrongly about the copy it inlines
    std::copy(payload.begin(), payload.end(), t.begin() + 8);
    return Ipv4(from, to, 17, t);
}

struct Frame {
    Bytes bytes;
    std::int64_t seconds = 1796508985;  // Sat, 05 Dec 2026 22:16:25 UTC
};

// A pcap file of raw IPv4 frames, or of frames of another link type.
inline void WriteCapture(const std::string& path, const std::vector<Frame>& frames, int linkType = DLT_RAW) {
    pcap_t* dead = pcap_open_dead(linkType, 65535);
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    for (const Frame& f : frames) {
        pcap_pkthdr header{};
        header.ts.tv_sec = static_cast<time_t>(f.seconds);
        header.caplen = header.len = static_cast<std::uint32_t>(f.bytes.size());
        pcap_dump(reinterpret_cast<u_char*>(dumper), &header, f.bytes.data());
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
}

inline std::string ReadFile(const std::string& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

inline std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CTempDir {
public:
    CTempDir() {
        char pattern[] = "/tmp/orn-run-test.XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~CTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

// Each request as one line: "bytes:TEXT", "packets:TEXT", "show:SOURCE>DESTINATION",
// "reset", "failure:TEXT", "stop".
class CRecorder : public ICaptureWindow {
public:
    void SetByteRateText(const std::string& text) override { Add("bytes:" + text); }
    void SetPacketRateText(const std::string& text) override { Add("packets:" + text); }
    void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) override {
        Add(std::string("show:") + record->sourceAddress + ">" + record->destinationAddress);
    }
    void ResetToIdle() override { Add("reset"); }
    void ShowStartFailure(const std::string& text) override { Add("failure:" + text); }
    void PostStopCommand() override { Add("stop"); }

    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::size_t Count(const std::string& prefix) {
        std::lock_guard lock(mutex_);
        return CountOf(prefix);
    }
    // Until `count` events start with prefix; false after timeoutMs.
    bool WaitFor(const std::string& prefix, std::size_t count, int timeoutMs) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return CountOf(prefix) >= count; });
    }

private:
    std::size_t CountOf(const std::string& prefix) const {
        return std::count_if(events_.begin(), events_.end(),
                             [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    }
    void Add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};
