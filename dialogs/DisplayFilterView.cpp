#include "dialogs/DisplayFilterView.h"

#include <algorithm>

void CDisplayFilterView::Set(std::shared_ptr<const CDisplayFilter> f) {
    filter = f && f->Set() ? std::move(f) : nullptr;
    matches.clear();
    leftOut.clear();
    nextSerial = 0;
    CatchUp();
}

const std::string& CDisplayFilterView::Expression() const {
    static const std::string none;
    return filter ? filter->Expression() : none;
}

void CDisplayFilterView::CatchUp() {
    if (!filter) return;
    std::uint64_t serial;
    const Records fresh = store.Since(nextSerial, CPacketStore::kLimit, serial);
    for (const auto& record : fresh) {
        const CHeldBytes held = record->Datagram();
        if (held.released)
            leftOut.push_back(serial);
        else if (filter->Matches(held.bytes))
            matches.push_back(serial);
        ++serial;
    }
    nextSerial = serial;
    Prune(store.Dropped());
}

void CDisplayFilterView::Prune(std::uint64_t dropped) const {
    while (!matches.empty() && matches.front() < dropped) matches.pop_front();
    while (!leftOut.empty() && leftOut.front() < dropped) leftOut.pop_front();
}

std::size_t CDisplayFilterView::Count() const {
    Prune(store.Dropped());
    return matches.size();
}

std::size_t CDisplayFilterView::LeftOut() const {
    Prune(store.Dropped());
    return leftOut.size();
}

CDisplayFilterView::Records CDisplayFilterView::Range(std::size_t first, std::size_t count) {
    Prune(store.Dropped());
    Records records;
    const std::size_t end = std::min(matches.size(), first + std::min(count, matches.size()));
    if (first >= end) return records;
    // A page looks its records up one by one; a long range takes the span
    // of the store it covers at once.
    const std::size_t step = end - first <= 64 ? 1 : end - first;
    for (std::size_t i = first; i < end; i += step) {
        const std::size_t last = std::min(end, i + step) - 1;
        std::uint64_t from;
        const Records span = store.Since(matches[i], std::size_t(matches[last] - matches[i] + 1), from);
        // Records dropped since the count was taken are passed over.
        for (std::size_t k = i; k <= last; ++k)
            if (matches[k] >= from && matches[k] - from < span.size()) records.push_back(span[matches[k] - from]);
    }
    return records;
}
