#pragma once
// What ORN keeps of one accepted datagram: the six short texts of its list
// row, the protocol decoder's text and one block holding the captured
// datagram, whose tail is the message. Made on the heap by the capture
// thread, owned by the packet store once accepted. The store may release the
// block to stay within its memory budget; the texts stay.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "capture/DatagramBlocks.h"

// Bytes of a record as one reader sees them. The view keeps its block alive,
// so a release by the store while the reader looks changes nothing for it.
struct CHeldBytes {
    std::shared_ptr<const std::uint8_t[]> block;
    std::span<const std::uint8_t> bytes;
    bool released = false;  // the store let the bytes go; bytes is empty
};

class CPacketRecord {
public:
    CPacketRecord() = default;
    virtual ~CPacketRecord() = default;

    CPacketRecord(const CPacketRecord&) = delete;
    CPacketRecord& operator=(const CPacketRecord&) = delete;

    char sourceAddress[32] = {};
    char sourcePort[16] = {};        // TCP, UDP and SCTP only
    char destinationAddress[32] = {};
    char destinationPort[16] = {};   // TCP, UDP and SCTP only
    char protocolName[10] = {};      // "<unknown>" fits whole
    char lengthText[8] = {};
    char protocolText[512] = {};
    // When the datagram was captured: calendar seconds and nanoseconds.
    std::int64_t captureSeconds = 0;
    std::uint32_t captureNanoseconds = 0;

    // Copies the datagram into the record. Its message is the bytes from
    // messageStart on (none when the headers claim more than was received);
    // the record shows it only when `message` (the messages flag) is set.
    void KeepDatagram(std::span<const std::uint8_t> datagram, std::size_t messageStart, bool message) {
        std::shared_ptr<std::uint8_t[]> block = AllocateDatagramBlock(datagram.size());
        if (!datagram.empty()) std::memcpy(block.get(), datagram.data(), datagram.size());
        length_ = static_cast<std::uint32_t>(datagram.size());
        messageStart_ = static_cast<std::uint32_t>(std::min<std::size_t>(messageStart, datagram.size()));
        hasMessage_ = message;
        kept_ = true;
        bytes_.store(std::move(block));
    }

    // The captured datagram, or released.
    CHeldBytes Datagram() const { return View(0); }
    // The message, or released; empty when it was captured without the
    // messages flag.
    CHeldBytes Message() const { return hasMessage_ ? View(messageStart_) : CHeldBytes{}; }
    bool HasMessage() const { return hasMessage_; }

    // Bytes of the captured datagram, whether held or released.
    std::size_t DatagramLength() const { return length_; }

    // Back to a record as made, for reuse by its one and only holder.
    void Reset() {
        sourceAddress[0] = sourcePort[0] = destinationAddress[0] = destinationPort[0] = '\0';
        protocolName[0] = lengthText[0] = '\0';
        std::memset(protocolText, 0, sizeof protocolText);
        captureSeconds = 0;
        captureNanoseconds = 0;
        bytes_.store(nullptr);
        length_ = messageStart_ = 0;
        hasMessage_ = kept_ = false;
    }

private:
    friend class CPacketStore;

    CHeldBytes View(std::uint32_t from) const {
        CHeldBytes view;
        view.block = bytes_.load();
        if (view.block)
            view.bytes = std::span<const std::uint8_t>(view.block.get() + from, length_ - from);
        else
            view.released = kept_;
        return view;
    }
    // Drops the record's hold on its bytes; readers that hold them keep them.
    void ReleaseBytes() { bytes_.store(nullptr); }

    std::atomic<std::shared_ptr<const std::uint8_t[]>> bytes_;
    std::uint32_t length_ = 0;
    std::uint32_t messageStart_ = 0;
    bool hasMessage_ = false;
    bool kept_ = false;
};
