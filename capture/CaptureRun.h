#pragma once
// A capture run: one thread that receives every IPv4 datagram of a capture
// source, meters the traffic, and keeps, logs and reports the datagrams that
// the filter set accepts.
//
// Accepted datagrams are taken in batches: as many as the source has ready
// (up to a bound) are decoded and their entries logged, and only once the
// log has handed them to the kernel do the records enter the store and go to
// the window. While the log can be written, whatever the window shows, or
// can read from the store, is in the log, even if the process is killed at
// any moment. When it cannot (a full disk, no usable directory) traffic is
// still shown, and NotLogged() counts the records shown without an entry.
//
// The owner (the main window) owns one CCaptureRun for its whole life, with
// the packet store, the log and the filter set holder that it hands to the
// run, and implements ICaptureWindow. Declare the run after those three, so
// that it goes first, and call EndCaptureRun() first thing in the window's
// destructor: when it returns, no request can reach the window any more and
// the thread has ended (within about 100 ms), so nothing the run refers to is
// touched again.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureLog.h"
#include "capture/CaptureWindow.h"
#include "capture/PacketStore.h"
#include "filters/FilterSetHolder.h"
#include "platform/capture/CaptureSource.h"

struct sockaddr_in;

using CaptureSourceFactory = std::function<std::unique_ptr<ICaptureSource>()>;

// The counterpart of the address-list query: has the source choose its
// interface, then puts that interface's IPv4 address into address.sin_addr
// (nothing else of address is touched) and returns 0. Returns -1 when the
// source finds no interface or index is not 0: a source offers the one
// interface it will capture on.
int GetInterfaceAddress(ICaptureSource& source, sockaddr_in& address, unsigned index);

// Every request of a run to its window passes here. Detach() cuts the link:
// once it returns no request is in progress and none will reach the window.
class CCaptureWindowLink {
public:
    explicit CCaptureWindowLink(ICaptureWindow* window = nullptr) : window_(window) {}

    void Detach();

    void SetByteRateText(const char* text);
    void SetPacketRateText(const char* text);
    void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record);
    void ResetToIdle();
    void ShowStartFailure(const char* text);
    void PostStopCommand();

private:
    std::mutex mutex_;
    ICaptureWindow* window_;
};

// Datagrams and bytes per calendar second. A finished second is shown at
// the first datagram of a later second, or at the run's first idle moment
// after it, so that a quiet second shows 0 rather than the last figure. The
// figure is the average of the finished window over every second up to then.
class CTrafficRateMeter {
public:
    // A run begins: its first window starts now, empty; nothing of an
    // earlier run is averaged over the pause between them.
    void Begin(std::int64_t now);
    // One received datagram of `bytes` bytes in second `now`. At a later
    // second the finished window's rates go to the byte-rate label, then to
    // the datagram-rate label, each only while `listening` is nonzero, and a
    // new window begins with this datagram. A clock that went back begins a
    // new window without showing anything.
    void Count(std::int64_t now, std::uint32_t bytes, const std::atomic<int>& listening,
               CCaptureWindowLink& window);
    // Nothing was received at this moment of second `now`: a finished
    // window is shown as Count would, and an empty one begins.
    void Idle(std::int64_t now, const std::atomic<int>& listening, CCaptureWindowLink& window);

    std::uint32_t rateBytes = 0;
    std::uint32_t ratePackets = 0;
    std::int64_t rateSecond = 0;

private:
    void RollOver(std::int64_t now, const std::atomic<int>& listening, CCaptureWindowLink& window);
};

// How a run ended.
enum class CaptureRunEnd {
    NotEnded,       // no run yet, or the run is still going
    StartFailed,    // before its receive loop; the user was shown why
    Stopped,        // listening was cleared
    EndOfFile,      // a file source delivered its last datagram
    ReceiveFailed,  // the source could not go on; ErrorText() says why
};

struct CaptureRunOptions {
    // Makes the run's source on its thread; empty: the live interface.
    CaptureSourceFactory source;
    // True: every run opens a new log file first thing and closes it at its
    // end. False: runs write to the log as the caller opened it (a stream,
    // or one file for several runs) and only flush it at their end.
    bool ownLogFile = true;
    // Log entries stamped with each datagram's capture time instead of the
    // time of writing (replaying files).
    bool stampCaptureTime = false;
    // Calendar seconds for the rate meter; empty: time().
    std::function<std::int64_t()> clock;
};

class CCaptureRun {
public:
    CCaptureRun(CPacketStore& store, CCaptureLog& log, CFilterSetHolder& filters,
                ICaptureWindow* window, CaptureRunOptions options = {});
    // EndCaptureRun().
    virtual ~CCaptureRun();

    CCaptureRun(const CCaptureRun&) = delete;
    CCaptureRun& operator=(const CCaptureRun&) = delete;

    // Window thread. Sets listening and begins the capture thread; 0 once
    // begun, -1 when a run is still listening or no thread can be made.
    // Waits for a run that is still stopping. The rate meter begins afresh;
    // the store and the log carry over.
    int StartCaptureRun();
    // Window thread. Clears listening, then waits for the thread, which
    // leaves its receive within about 50 ms. The wait cursor is the
    // caller's: wrap the call.
    void StopCaptureRun();
    // The end of the program: clears listening, detaches the window, waits
    // for the thread. Later runs report to no window.
    void EndCaptureRun();
    // Clears listening without waiting (the window's End and Close).
    void ClearListening() { listening_.store(0); }

    // Waits up to timeoutMs for the thread to end; true once it has (or
    // there is none).
    bool WaitCaptureRun(int timeoutMs);

    int Listening() const { return listening_.load(); }
    bool IsCaptureThreadRunning() const;

    // The source's counters for the current or last run (kernel drops
    // included); refreshed by the capture thread about every second and at
    // the end of the run.
    CaptureStatistics Statistics() const;
    CaptureRunEnd LastEnd() const;
    // What the capture thread returned: 0 after a run that reached its
    // receive loop, -1 after a start failure; 259 while it runs.
    int ExitCode() const { return exitCode_.load(); }
    // The source's own words for the last start failure or failed receive.
    std::string ErrorText() const;
    // Any thread: records of the current or last run that were shown
    // although their log entries were not written, and the log's reason.
    std::uint64_t NotLogged() const { return notLogged_.load(std::memory_order_relaxed); }
    std::string LogProblem() const { return log_.Problem(); }

    // Between runs only: the thread owns the meter while it runs.
    const CTrafficRateMeter& RateMeter() const { return meter_; }
    // Between runs only.
    void SetSourceFactory(CaptureSourceFactory factory) { options_.source = std::move(factory); }
    // Between runs only: log stamps of each datagram's capture time (a
    // replayed file) or of the time of writing.
    void SetStampCaptureTime(bool on) { options_.stampCaptureTime = on; }

    static constexpr int kStillActive = 259;
    // Receive timeout: how often an idle run looks at its flag.
    static constexpr int kReceiveTimeoutMs = 50;
    // A batch ends when the source has nothing ready, or at these bounds.
    static constexpr std::size_t kBatchRecords = 256;
    static constexpr std::size_t kBatchBytes = 1024 * 1024;

private:
    struct Batch {
        std::vector<std::shared_ptr<CPacketRecord>> records;
        std::size_t bytes = 0;
        // Records dropped at the store's limit that nobody else held: they
        // serve later datagrams, which spares the allocator a burst of frees
        // and allocations at every batch.
        std::vector<std::shared_ptr<CPacketRecord>> reusable;
    };

    static int CaptureThreadProc(CCaptureRun* run);
    int Capture();
    int StartFailure(ICaptureSource* source, const char* message);
    void ReceiveLoop(ICaptureSource& source);
    void TakeDatagram(const CapturedDatagram& datagram, CFilterSetReader& filters,
                      std::shared_ptr<CPacketRecord>& spare, Batch& batch);
    void CommitBatch(Batch& batch);
    void Finish(CaptureRunEnd end, ICaptureSource* source);
    void PublishStatistics(ICaptureSource& source);
    // Calendar seconds for the rate meter.
    std::int64_t Now() const;
    void JoinThread();

    CPacketStore& store_;
    CCaptureLog& log_;
    CFilterSetHolder& filters_;
    CCaptureWindowLink window_;
    CaptureRunOptions options_;

    std::atomic<int> listening_{0};
    std::atomic<std::uint64_t> notLogged_{0};
    std::uint64_t unloggedBefore_ = 0;  // the log's count when the run began
    CTrafficRateMeter meter_;
    std::unique_ptr<char[]> text_;  // the decoded-text buffer, reused by every datagram

    std::thread thread_;
    std::atomic<int> exitCode_{0};
    mutable std::mutex statusMutex_;
    std::condition_variable ended_;
    bool threadEnded_ = true;
    CaptureRunEnd end_ = CaptureRunEnd::NotEnded;
    std::string errorText_;
    CaptureStatistics statistics_;
};
