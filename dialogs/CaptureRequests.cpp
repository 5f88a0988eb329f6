#include "dialogs/CaptureRequests.h"

#include <utility>

CCaptureRequests::CCaptureRequests(const CPacketStore& s, Handlers h)
    : store(s), handlers(std::move(h)), queue([this] { FlushAccepted(); }) {}

CCaptureRequests::~CCaptureRequests() = default;

void CCaptureRequests::PostLocked(Kind kind) {
    if (posted[kind]) return;
    posted[kind] = true;
    if (kind == kAccepted)
        queue.Post([this] { DeliverAccepted(); });
    else
        queue.Post([this, kind] { Deliver(kind); });
}

void CCaptureRequests::SetByteRateText(const std::string& text) {
    std::lock_guard lock(mutex);
    byteText = text;
    PostLocked(kByteRate);
}

void CCaptureRequests::SetPacketRateText(const std::string& text) {
    std::lock_guard lock(mutex);
    packetText = text;
    PostLocked(kPacketRate);
}

void CCaptureRequests::ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) {
    // The run appends and then asks, one record at a time, so the count now
    // is the count just after this record's append.
    const bool takesRow = store.Count() <= pageSize.load(std::memory_order_relaxed);
    std::lock_guard lock(mutex);
    if (takesRow) rows.push_back(std::move(record));
    PostLocked(kAccepted);
}

void CCaptureRequests::ResetToIdle() {
    std::lock_guard lock(mutex);
    ++resets;
    PostLocked(kReset);
}

void CCaptureRequests::ShowStartFailure(const std::string& text) {
    std::lock_guard lock(mutex);
    failures.push_back(text);
    PostLocked(kFailure);
}

void CCaptureRequests::PostStopCommand() {
    std::lock_guard lock(mutex);
    ++stops;
    PostLocked(kStop);
}

void CCaptureRequests::DiscardPendingRows() {
    std::lock_guard lock(mutex);
    rows.clear();
}

void CCaptureRequests::DeliverAccepted() {
    if (queue.TimerActive()) return;
    using std::chrono::milliseconds;
    const long long since =
        acceptedBefore ? std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - lastAccepted).count()
                       : kAcceptedIntervalMs;
    if (since >= kAcceptedIntervalMs)
        FlushAccepted();
    else
        queue.StartTimer(int(kAcceptedIntervalMs - since));
}

void CCaptureRequests::FlushAccepted() {
    AcceptedRows taken;
    {
        std::lock_guard lock(mutex);
        if (!posted[kAccepted]) return;
        posted[kAccepted] = false;
        taken.swap(rows);
    }
    queue.StopTimer();
    lastAccepted = std::chrono::steady_clock::now();
    acceptedBefore = true;
    if (handlers.showAccepted) handlers.showAccepted(std::move(taken));
}

void CCaptureRequests::DeliverPending() {
    FlushAccepted();
    for (Kind kind : {kByteRate, kPacketRate, kReset, kFailure, kStop}) {
        bool pending;
        {
            std::lock_guard lock(mutex);
            pending = posted[kind];
        }
        if (pending) Deliver(kind);
    }
}

void CCaptureRequests::Deliver(Kind kind) {
    // Whatever was accepted before this request is shown before it.
    FlushAccepted();
    std::string text;
    int times = 0;
    std::vector<std::string> failed;
    {
        std::lock_guard lock(mutex);
        posted[kind] = false;
        switch (kind) {
        case kByteRate: text = std::move(byteText); break;
        case kPacketRate: text = std::move(packetText); break;
        case kReset: times = std::exchange(resets, 0); break;
        case kFailure: failed.swap(failures); break;
        case kStop: times = std::exchange(stops, 0); break;
        case kAccepted:
        case kKinds: break;
        }
    }
    switch (kind) {
    case kByteRate:
        if (handlers.byteRate) handlers.byteRate(text);
        break;
    case kPacketRate:
        if (handlers.packetRate) handlers.packetRate(text);
        break;
    case kReset:
        for (int i = 0; i < times && handlers.resetToIdle; ++i) handlers.resetToIdle();
        break;
    case kFailure:
        for (const std::string& f : failed)
            if (handlers.startFailure) handlers.startFailure(f);
        break;
    case kStop:
        for (int i = 0; i < times && handlers.stopCommand; ++i) handlers.stopCommand();
        break;
    case kAccepted:
    case kKinds: break;
    }
}
