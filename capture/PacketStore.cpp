#include "capture/PacketStore.h"

#include <algorithm>
#include <utility>

CPacketStore::CPacketStore(std::size_t byteBudget, std::size_t recordLimit)
    : limit(std::max<std::size_t>(recordLimit, 1)), budget(byteBudget)
{
    // Reserved up front so that an append never reallocates under the lock;
    // the pages are only touched as the store fills.
    ring.reserve(limit);
}

CPacketStore::~CPacketStore()
{
    for (std::size_t i = 0; i < ring.size(); ++i)
        ring[(head + i) % limit].reset();
}

std::shared_ptr<const CPacketRecord> CPacketStore::Append(std::unique_ptr<CPacketRecord> record)
{
    // The control block is allocated here, outside the lock. The victim goes
    // out of scope here: a dropped record is destroyed (unless a reader still
    // holds it) without holding up the window thread.
    Slot victim;
    return Append(Slot(std::move(record)), victim);
}

std::shared_ptr<const CPacketRecord> CPacketStore::Append(Slot incoming, Slot& victim)
{
    if (!incoming)
        return nullptr;
    Slot stored = incoming;
    {
        std::lock_guard lock(mutex);
        if (ring.size() < limit) {
            ring.push_back(std::move(incoming));
        } else {
            // The oldest slot takes the newest record and index 0 moves on.
            victim = std::exchange(ring[head], std::move(incoming));
            head = (head + 1) % limit;
            ++dropped;
            if (heldFrom > 0)
                --heldFrom;  // the victim's bytes were released already
            else
                heldBytes -= victim->DatagramLength();
        }
        heldBytes += stored->DatagramLength();
        // Held bytes always form the newest records, so the oldest of them
        // goes first.
        while (heldBytes > budget && heldFrom < ring.size()) {
            CPacketRecord& oldest = *At(heldFrom++);
            heldBytes -= oldest.DatagramLength();
            oldest.ReleaseBytes();
        }
    }
    return stored;
}

void CPacketStore::Clear()
{
    std::vector<Slot> taken;
    taken.reserve(limit);  // becomes the ring, so an append still never reallocates
    {
        std::lock_guard lock(mutex);
        dropped += ring.size();
        ring.swap(taken);
        head = 0;
        heldBytes = 0;
        heldFrom = 0;
    }
    // The records are released here, outside the lock.
}

std::size_t CPacketStore::Count() const
{
    std::lock_guard lock(mutex);
    return ring.size();
}

std::shared_ptr<const CPacketRecord> CPacketStore::Element(std::size_t index) const
{
    std::lock_guard lock(mutex);
    if (index >= ring.size())
        return nullptr;
    return At(index);
}

std::vector<std::shared_ptr<const CPacketRecord>> CPacketStore::Range(std::size_t first,
                                                                      std::size_t count) const
{
    std::vector<std::shared_ptr<const CPacketRecord>> page;
    // Sized for the request before locking; a page is small.
    page.reserve(std::min(count, limit));
    std::lock_guard lock(mutex);
    if (first >= ring.size())
        return page;
    const std::size_t n = std::min(count, ring.size() - first);
    for (std::size_t i = 0; i < n; ++i)
        page.push_back(At(first + i));
    return page;
}

std::uint64_t CPacketStore::Dropped() const
{
    std::lock_guard lock(mutex);
    return dropped;
}

std::size_t CPacketStore::HeldBytes() const
{
    std::lock_guard lock(mutex);
    return heldBytes;
}
