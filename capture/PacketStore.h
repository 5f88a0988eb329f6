#pragma once
// The accepted records of the program's life, oldest first, at most its limit (kLimit).
// The capture thread appends; the window thread counts, reads one record or a
// page. Readers get shared ownership, so a record they hold (the details
// dialog's) outlives its drop at the limit.
//
// The records' captured bytes share a budget: past it the oldest records'
// bytes are released (the records stay), so memory stays bounded whatever
// the traffic.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/PacketRecord.h"

class CPacketStore {
public:
    static constexpr std::size_t kLimit = 102400;
    static constexpr std::size_t kByteBudget = 256 * 1024 * 1024;

    // A smaller record limit (at least 1) serves a caller that only passes
    // records through, such as the command-line decoder.
    explicit CPacketStore(std::size_t byteBudget = kByteBudget, std::size_t recordLimit = kLimit);
    // Releases every record, index 0 first.
    virtual ~CPacketStore();

    CPacketStore(const CPacketStore&) = delete;
    CPacketStore& operator=(const CPacketStore&) = delete;

    // Puts the record at the end; when that makes the count exceed the limit the
    // record at index 0 is dropped and every later index moves down by one.
    // Then, while the bytes held exceed the budget, the oldest record that
    // still holds bytes releases them. A null record is ignored. Returns the record as stored (null for null),
    // so the appender can hand it on without looking it up again.
    std::shared_ptr<const CPacketRecord> Append(std::unique_ptr<CPacketRecord> record);
    // The same; the record dropped at the limit, if any, is handed to
    // `dropped` instead of being destroyed here, so that the caller can reuse
    // it once nobody else holds it.
    std::shared_ptr<const CPacketRecord> Append(std::shared_ptr<CPacketRecord> record,
                                                std::shared_ptr<CPacketRecord>& dropped);

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

    // Bytes of captured datagrams that the stored records hold.
    std::size_t HeldBytes() const;

private:
    using Slot = std::shared_ptr<CPacketRecord>;

    const Slot& At(std::size_t index) const { return ring[(head + index) % limit]; }

    mutable std::mutex mutex;
    const std::size_t limit;
    std::vector<Slot> ring;  // grows to the limit, then wraps round
    std::size_t head = 0;     // slot of index 0 once the ring is full
    std::uint64_t dropped = 0;
    const std::size_t budget;
    std::size_t heldBytes = 0;
    std::size_t heldFrom = 0;  // index of the oldest record still holding its bytes
};
