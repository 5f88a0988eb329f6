#include "filters/FilterSetHolder.h"

#include <algorithm>
#include <utility>

CFilterSetHolder::CFilterSetHolder() : current(std::make_shared<const CFilterSet>()) {}

void CFilterSetHolder::Publish(CFilterSet set)
{
    const std::size_t src = std::min(set.srcAddrs.size(), set.srcPorts.size());
    set.srcAddrs.resize(src);
    set.srcPorts.resize(src);
    const std::size_t dest = std::min(set.destAddrs.size(), set.destPorts.size());
    set.destAddrs.resize(dest);
    set.destPorts.resize(dest);

    std::shared_ptr<const CFilterSet> fresh = std::make_shared<const CFilterSet>(std::move(set));
    {
        std::lock_guard lock(mutex);
        current.swap(fresh);
        // Raised only once the new set is in place: a reader that sees the new
        // generation takes at least this set.
        generation.fetch_add(1, std::memory_order_release);
    }
    // fresh now holds the previous set; it dies here unless a reader holds it.
}

std::shared_ptr<const CFilterSet> CFilterSetHolder::Snapshot() const
{
    std::lock_guard lock(mutex);
    return current;
}

CFilterSetReader::CFilterSetReader(const CFilterSetHolder& holder)
    : holder(holder), seen(holder.Generation()), snapshot(holder.Snapshot())
{
}

const CFilterSet& CFilterSetReader::Current()
{
    const std::uint64_t now = holder.Generation();
    if (now != seen) {
        seen = now;
        snapshot = holder.Snapshot();
    }
    return *snapshot;
}
