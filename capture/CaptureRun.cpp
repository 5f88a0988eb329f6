#include "capture/CaptureRun.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <new>
#include <span>
#include <system_error>

#include "decode/IpDatagram.h"
#include "platform/system/System.h"

namespace {

// The source's counters are read this often while datagrams keep coming (and
// at every idle pass and every new second).
constexpr std::uint32_t kStatisticsEvery = 4096;

}  // namespace

int GetInterfaceAddress(ICaptureSource& source, sockaddr_in& address, unsigned index) {
    if (index != 0 || source.FindInterface() != CaptureFailure::None) return -1;
    address.sin_addr.s_addr = source.InterfaceAddress();
    return 0;
}

void CCaptureWindowLink::Detach() {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
}

void CCaptureWindowLink::SetByteRateText(const char* text) {
    std::lock_guard lock(mutex_);
    if (window_) window_->SetByteRateText(text);
}

void CCaptureWindowLink::SetPacketRateText(const char* text) {
    std::lock_guard lock(mutex_);
    if (window_) window_->SetPacketRateText(text);
}

void CCaptureWindowLink::ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) {
    std::lock_guard lock(mutex_);
    if (window_) window_->ShowAcceptedPacket(std::move(record));
}

void CCaptureWindowLink::ResetToIdle() {
    std::lock_guard lock(mutex_);
    if (window_) window_->ResetToIdle();
}

void CCaptureWindowLink::ShowStartFailure(const char* text) {
    std::lock_guard lock(mutex_);
    if (window_) window_->ShowStartFailure(text);
}

void CCaptureWindowLink::PostStopCommand() {
    std::lock_guard lock(mutex_);
    if (window_) window_->PostStopCommand();
}

void CTrafficRateMeter::Begin(std::int64_t now) {
    rateBytes = 0;
    ratePackets = 0;
    rateSecond = now;
}

void CTrafficRateMeter::RollOver(std::int64_t now, const std::atomic<int>& listening, CCaptureWindowLink& window) {
    if (now > rateSecond) {
        const std::int64_t elapsed = now - rateSecond;
        char byteRate[64];
        char packetRate[64];
        std::snprintf(byteRate, sizeof byteRate, "%10.3f KB/sec",
                      static_cast<double>(rateBytes) * 0.0009765625 / static_cast<double>(elapsed));
        // Unsigned division; the quotient never exceeds the 32-bit count.
        std::snprintf(packetRate, sizeof packetRate, "%u packets/sec",
                      static_cast<unsigned>(ratePackets / static_cast<std::uint64_t>(elapsed)));
        if (listening.load(std::memory_order_relaxed)) window.SetByteRateText(byteRate);
        if (listening.load(std::memory_order_relaxed)) window.SetPacketRateText(packetRate);
    }
    Begin(now);
}

void CTrafficRateMeter::Count(std::int64_t now, std::uint32_t bytes, const std::atomic<int>& listening,
                              CCaptureWindowLink& window) {
    if (now != rateSecond) RollOver(now, listening, window);
    rateBytes += bytes;
    ++ratePackets;
}

void CTrafficRateMeter::Idle(std::int64_t now, const std::atomic<int>& listening, CCaptureWindowLink& window) {
    if (now != rateSecond) RollOver(now, listening, window);
}

CCaptureRun::CCaptureRun(CPacketStore& store, CCaptureLog& log, CFilterSetHolder& filters, ICaptureWindow* window,
                         CaptureRunOptions options)
    : store_(store),
      log_(log),
      filters_(filters),
      window_(window),
      options_(std::move(options)),
      text_(new char[kDecodedTextSize]) {}

CCaptureRun::~CCaptureRun() { EndCaptureRun(); }

int CCaptureRun::StartCaptureRun() {
    if (thread_.joinable()) {
        if (IsCaptureThreadRunning() && listening_.load()) return -1;
        JoinThread();  // a run that is stopping, or one that has ended
    }
    listening_.store(1);
    {
        std::lock_guard lock(statusMutex_);
        threadEnded_ = false;
        end_ = CaptureRunEnd::NotEnded;
        errorText_.clear();
        statistics_ = {};
    }
    notLogged_.store(0);
    exitCode_.store(kStillActive);
    try {
        thread_ = std::thread(CaptureThreadProc, this);
    } catch (const std::system_error&) {
        listening_.store(0);
        std::lock_guard lock(statusMutex_);
        threadEnded_ = true;
        exitCode_.store(-1);
        return -1;
    }
    return 0;
}

void CCaptureRun::StopCaptureRun() {
    listening_.store(0);
    JoinThread();
}

void CCaptureRun::EndCaptureRun() {
    listening_.store(0);
    window_.Detach();
    JoinThread();
}

void CCaptureRun::JoinThread() {
    // A window that stops the run from a request would wait for itself.
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    thread_.join();
}

bool CCaptureRun::WaitCaptureRun(int timeoutMs) {
    {
        std::unique_lock lock(statusMutex_);
        if (!ended_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [this] { return threadEnded_; }))
            return false;
    }
    JoinThread();
    return true;
}

bool CCaptureRun::IsCaptureThreadRunning() const {
    std::lock_guard lock(statusMutex_);
    return !threadEnded_;
}

CaptureStatistics CCaptureRun::Statistics() const {
    std::lock_guard lock(statusMutex_);
    return statistics_;
}

CaptureRunEnd CCaptureRun::LastEnd() const {
    std::lock_guard lock(statusMutex_);
    return end_;
}

std::string CCaptureRun::ErrorText() const {
    std::lock_guard lock(statusMutex_);
    return errorText_;
}

int CCaptureRun::CaptureThreadProc(CCaptureRun* run) {
    const int code = run->Capture();
    std::lock_guard lock(run->statusMutex_);
    run->exitCode_.store(code);
    run->threadEnded_ = true;
    run->ended_.notify_all();
    return code;
}

int CCaptureRun::Capture() {
    LowerCurrentThreadPriority();
    if (options_.ownLogFile) log_.OpenCaptureLog();
    unloggedBefore_ = log_.Unlogged();

    std::unique_ptr<ICaptureSource> source;
    try {
        source = options_.source ? options_.source() : MakeLiveCaptureSource();
    } catch (const std::bad_alloc&) {
    }
    if (!source) return StartFailure(nullptr, kInitializationMessage);
    if (source->Startup() != CaptureFailure::None) return StartFailure(source.get(), kInitializationMessage);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (GetInterfaceAddress(*source, address, 0) != 0) return StartFailure(source.get(), kNoInterfaceMessage);
    const CaptureFailure activation = source->Activate();
    if (activation != CaptureFailure::None) {
        return StartFailure(source.get(), CaptureFailureMessage(activation));
    }

    if (listening_.load()) {
        meter_.Begin(Now());
        ReceiveLoop(*source);
    } else {
        Finish(CaptureRunEnd::Stopped, nullptr);
    }
    // The window performs its stop when it reaches this, after the thread
    // may already be gone; it must never be waited for here.
    window_.PostStopCommand();
    source->Stop();
    PublishStatistics(*source);
    if (options_.ownLogFile)
        log_.CloseCaptureLog();
    else
        log_.Flush();
    return 0;
}

int CCaptureRun::StartFailure(ICaptureSource* source, const char* message) {
    listening_.store(0);
    window_.ResetToIdle();
    if (options_.ownLogFile)
        log_.CloseCaptureLog();
    else
        log_.Flush();
    if (source) {
        source->Stop();
        PublishStatistics(*source);
    }
    {
        std::lock_guard lock(statusMutex_);
        end_ = CaptureRunEnd::StartFailed;
        errorText_ = source ? source->ErrorText() : "no capture source";
    }
    window_.ShowStartFailure(message);
    return -1;
}

void CCaptureRun::Finish(CaptureRunEnd end, ICaptureSource* source) {
    std::lock_guard lock(statusMutex_);
    end_ = end;
    if (source) errorText_ = source->ErrorText();
}

std::int64_t CCaptureRun::Now() const {
    return options_.clock ? options_.clock() : static_cast<std::int64_t>(std::time(nullptr));
}

void CCaptureRun::PublishStatistics(ICaptureSource& source) {
    const CaptureStatistics now = source.Statistics();
    std::lock_guard lock(statusMutex_);
    statistics_ = now;
}

void CCaptureRun::ReceiveLoop(ICaptureSource& source) {
    CFilterSetReader filters(filters_);
    std::shared_ptr<CPacketRecord> spare;
    Batch batch;
    batch.records.reserve(kBatchRecords);
    batch.reusable.reserve(kBatchRecords);
    CapturedDatagram datagram;
    std::uint32_t sincePublished = 0;
    std::int64_t publishedSecond = 0;
    for (;;) {
        // While a batch is open, only look: it ends as soon as nothing is ready.
        const ReceiveResult result = source.Receive(datagram, batch.records.empty() ? kReceiveTimeoutMs : 0);
        if (result == ReceiveResult::Datagram) {
            const std::int64_t now = Now();
            // The records of a finished second reach the window before its rates.
            if (now != meter_.rateSecond) CommitBatch(batch);
            meter_.Count(now, datagram.length, listening_, window_);
            TakeDatagram(datagram, filters, spare, batch);
            if (batch.records.size() >= kBatchRecords || batch.bytes >= kBatchBytes) CommitBatch(batch);
            if (++sincePublished >= kStatisticsEvery || now != publishedSecond) {
                PublishStatistics(source);
                sincePublished = 0;
                publishedSecond = now;
            }
        } else if (result == ReceiveResult::NothingYet) {
            CommitBatch(batch);
            PublishStatistics(source);
            meter_.Idle(Now(), listening_, window_);
        } else {
            // The end of a file, or a failed receive: the run ends without a
            // message; the posted stop command brings the window back to idle.
            CommitBatch(batch);
            Finish(result == ReceiveResult::EndOfFile ? CaptureRunEnd::EndOfFile : CaptureRunEnd::ReceiveFailed,
                   result == ReceiveResult::Failed ? &source : nullptr);
            return;
        }
        if (!listening_.load(std::memory_order_relaxed)) {
            CommitBatch(batch);
            Finish(CaptureRunEnd::Stopped, nullptr);
            return;
        }
    }
}

// Decodes one datagram; an accepted one is logged (into the log's buffer)
// and joins the batch.
void CCaptureRun::TakeDatagram(const CapturedDatagram& datagram, CFilterSetReader& filters,
                               std::shared_ptr<CPacketRecord>& spare, Batch& batch) {
    try {
        // A rejected datagram leaves its record as made, so it serves the next.
        if (!spare && !batch.reusable.empty()) {
            spare = std::move(batch.reusable.back());
            batch.reusable.pop_back();
        }
        if (!spare) spare = std::make_shared<CPacketRecord>();
        spare->captureSeconds = datagram.seconds;
        spare->captureNanoseconds = datagram.nanoseconds;
        // One consistent set for the whole datagram, flags included.
        const CFilterSet& set = filters.Current();
        int accepted = 0;
        int textLength = 0;
        DecodeIpDatagram(std::span<const std::uint8_t>(datagram.data, datagram.length), datagram.length, accepted,
                         std::span<char>(text_.get(), kDecodedTextSize), textLength, set.srcAddrs, set.destAddrs,
                         set.srcPorts, set.destPorts, set.fullInfo, set.messages, *spare);
        if (!accepted) return;
        std::shared_ptr<CPacketRecord> record = std::move(spare);
        if (!listening_.load(std::memory_order_relaxed)) return;  // after Stop: destroyed
        const std::size_t length = static_cast<std::size_t>(std::max(textLength, 0));
        if (options_.stampCaptureTime)
            log_.WriteCaptureLog(text_.get(), length, static_cast<std::time_t>(datagram.seconds));
        else
            log_.WriteCaptureLog(text_.get(), length);
        batch.bytes += record->DatagramLength();
        batch.records.push_back(std::move(record));  // reserved: never allocates
    } catch (const std::bad_alloc&) {
        // No memory for the record or its bytes: this datagram is skipped.
    }
}

// The batch's log entries go to the kernel first; then its records are
// stored and shown, those whose entries did not make it counted first.
void CCaptureRun::CommitBatch(Batch& batch) {
    if (batch.records.empty()) return;
    log_.Flush();
    notLogged_.store(log_.Unlogged() - unloggedBefore_, std::memory_order_relaxed);
    for (std::shared_ptr<CPacketRecord>& record : batch.records) {
        std::shared_ptr<CPacketRecord> dropped;
        window_.ShowAcceptedPacket(store_.Append(std::move(record), dropped));
        if (dropped.use_count() == 1 && batch.reusable.size() < kBatchRecords) {
            // The last other holder's release comes before our writes to it.
            std::atomic_thread_fence(std::memory_order_acquire);
            dropped->Reset();  // its bytes go back now, not when it is next used
            batch.reusable.push_back(std::move(dropped));
        }
    }
    batch.records.clear();
    batch.bytes = 0;
}
