#pragma once
// The main window's display filter over the packet store: which stored
// records match, oldest first, kept up as records come and go. Records are
// known by their serial number (the store's Dropped() plus their index when
// seen), which stays theirs while the store drops older ones.
//
// A record is matched once, when first seen, on its captured datagram. One
// whose bytes the store had already released by then (for the memory
// budget) cannot be matched and is left out and counted; a record that
// matched keeps its place when its bytes are released later.
//
// Window thread only; the capture thread appends to the store meanwhile.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "capture/PacketStore.h"
#include "platform/capture/DisplayFilter.h"

class CDisplayFilterView {
public:
    using Records = std::vector<std::shared_ptr<const CPacketRecord>>;

    explicit CDisplayFilterView(const CPacketStore& store) : store(store) {}

    // Matches the whole store against filter (null or unset: no filter).
    void Set(std::shared_ptr<const CDisplayFilter> filter);
    bool Active() const { return filter != nullptr; }
    const std::string& Expression() const;

    // Matches the records appended since the last look.
    void CatchUp();

    // Matching records still in the store; those left out for want of bytes.
    std::size_t Count() const;
    std::size_t LeftOut() const;
    // Matching records first .. first + count - 1, clamped to what exists.
    Records Range(std::size_t first, std::size_t count);

private:
    // Forgets the records the store dropped.
    void Prune(std::uint64_t dropped) const;

    const CPacketStore& store;
    std::shared_ptr<const CDisplayFilter> filter;
    mutable std::deque<std::uint64_t> matches;
    mutable std::deque<std::uint64_t> leftOut;
    std::uint64_t nextSerial = 0;  // the first record not yet looked at
};
