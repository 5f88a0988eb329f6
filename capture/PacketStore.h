#pragma once
// The accepted records of the program's life, oldest first, at most kLimit.
// The capture thread appends; the window thread counts, reads one record or a
// page. Readers get shared ownership, so a record they hold (the details
// dialog's) outlives its drop at the limit.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/PacketRecord.h"

class CPacketStore {
public:
    static constexpr std::size_t kLimit = 102400;

    CPacketStore();
    // Releases every record, index 0 first.
    virtual ~CPacketStore();

    CPacketStore(const CPacketStore&) = delete;
    CPacketStore& operator=(const CPacketStore&) = delete;

    // Puts the record at the end; when that makes the count exceed kLimit the
    // record at index 0 is dropped and every later index moves down by one.
    // A null record is ignored. Returns the record as stored (null for null),
    // so the appender can hand it on without looking it up again.
    std::shared_ptr<const CPacketRecord> Append(std::unique_ptr<CPacketRecord> record);

    // Releases every record (those a reader holds live on with the reader).
    void Clear();

    std::size_t Count() const;

    // The record at index (0 is the oldest), or null when index >= Count().
    std::shared_ptr<const CPacketRecord> Element(std::size_t index) const;

    // Records first .. first + count - 1 taken under one lock, clamped to what
    // exists (empty when first >= Count()).
    std::vector<std::shared_ptr<const CPacketRecord>> Range(std::size_t first,
                                                            std::size_t count) const;

    // Records dropped at the limit or cleared so far. The record at index i
    // was the (Dropped() + i)-th ever appended, so a reader that noted this
    // count can tell how far the indexes have shifted since.
    std::uint64_t Dropped() const;

private:
    using Slot = std::shared_ptr<const CPacketRecord>;

    const Slot& At(std::size_t index) const { return ring[(head + index) % kLimit]; }

    mutable std::mutex mutex;
    std::vector<Slot> ring;  // grows to kLimit, then wraps round
    std::size_t head = 0;     // slot of index 0 once the ring is full
    std::uint64_t dropped = 0;
};
