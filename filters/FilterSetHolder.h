#pragma once
// Hands the filter set from the window thread to the capture thread whole:
// the window thread publishes a complete new set in one step, the capture
// thread matches each datagram against one snapshot, never a half-changed one.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "filters/FilterSet.h"

class CFilterSetHolder {
public:
    CFilterSetHolder();  // publishes the defaults
    virtual ~CFilterSetHolder() = default;

    CFilterSetHolder(const CFilterSetHolder&) = delete;
    CFilterSetHolder& operator=(const CFilterSetHolder&) = delete;

    // Replaces the set in effect. A side whose address and port lists differ
    // in length is cut to the shorter, so no reader indexes past a list.
    void Publish(CFilterSet set);

    // The set in effect; it stays valid while held, whatever is published.
    std::shared_ptr<const CFilterSet> Snapshot() const;

    // Changes with every Publish.
    std::uint64_t Generation() const { return generation.load(std::memory_order_acquire); }

private:
    mutable std::mutex mutex;
    std::shared_ptr<const CFilterSet> current;
    std::atomic<std::uint64_t> generation{0};
};

// One thread's view of a holder: keeps its snapshot until a new set is
// published, so that checking costs one atomic load per datagram.
class CFilterSetReader {
public:
    explicit CFilterSetReader(const CFilterSetHolder& holder);

    // The set to match the next datagram against; valid until the next call.
    const CFilterSet& Current();

private:
    const CFilterSetHolder& holder;
    std::uint64_t seen;
    std::shared_ptr<const CFilterSet> snapshot;
};
