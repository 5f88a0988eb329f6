#pragma once
// The main window's side of a capture run's requests. The capture thread
// only notes what it asks for and makes sure that one queued call per kind
// of request is on its way to the window thread; that call applies
// everything noted since. Accepted records are applied at most once every
// kAcceptedIntervalMs, so a flood of datagrams costs the window a bounded
// number of turns of its event loop, whatever the rate.
//
// What the window is shown is what it would have shown had each request been
// handled in turn: rows for the records that were appended while the store
// fitted on one page, oldest first, then the scroll position from the counts
// of the moment; the last rate texts; every reset, failure and stop command
// in the order made, each after the records accepted before it.

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/CaptureWindow.h"
#include "capture/PacketStore.h"
#include "skin/WindowThread.h"

using AcceptedRows = std::vector<std::shared_ptr<const CPacketRecord>>;

class CCaptureRequests final : public ICaptureWindow {
public:
    // Run on the window thread.
    struct Handlers {
        // The records that take rows (possibly none); the handler appends
        // them and then sets the scroll position.
        std::function<void(AcceptedRows)> showAccepted;
        std::function<void(const std::string&)> byteRate;
        std::function<void(const std::string&)> packetRate;
        std::function<void()> resetToIdle;
        std::function<void(const std::string&)> startFailure;
        std::function<void()> stopCommand;
    };

    static constexpr int kAcceptedIntervalMs = 10;

    // Made on the window thread. store is the window's packet store: its
    // count just after an append tells whether the record takes a row.
    CCaptureRequests(const CPacketStore& store, Handlers handlers);
    ~CCaptureRequests() override;

    // Window thread. A record takes a row while the store holds at most this
    // many records after its append.
    void SetPageSize(std::size_t rows) { pageSize.store(rows, std::memory_order_relaxed); }
    // Window thread: forgets the rows not yet applied; the list was rebuilt
    // from the store, which holds their records already.
    void DiscardPendingRows();
    // Window thread: applies the accepted records noted so far, now.
    void FlushAccepted();
    // Window thread: applies now everything noted so far (the queued calls
    // then find nothing to do), so that a stop command of a run that has
    // ended cannot reach a run begun after it.
    void DeliverPending();

    // ICaptureWindow, on the capture thread.
    void SetByteRateText(const std::string& text) override;
    void SetPacketRateText(const std::string& text) override;
    void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) override;
    void ResetToIdle() override;
    void ShowStartFailure(const std::string& text) override;
    void PostStopCommand() override;

private:
    enum Kind { kAccepted, kByteRate, kPacketRate, kReset, kFailure, kStop, kKinds };

    void PostLocked(Kind kind);
    void Deliver(Kind kind);
    void DeliverAccepted();

    const CPacketStore& store;
    Handlers handlers;
    std::atomic<std::size_t> pageSize{0};

    // Window thread only.
    CWindowThreadQueue queue;  // its timer holds accepted records back
    std::chrono::steady_clock::time_point lastAccepted;
    bool acceptedBefore = false;

    std::mutex mutex;
    std::array<bool, kKinds> posted{};
    AcceptedRows rows;
    std::string byteText, packetText;
    int resets = 0;
    std::vector<std::string> failures;
    int stops = 0;
};
