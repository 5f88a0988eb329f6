#pragma once
// The capture log: one file per run in the log directory (capture/LogDirectory.h), named by
// local time, rotated at 256 KiB with a closing note. Each entry is a stamp,
// the decoded text (any bytes, zeros included) and an empty line. Written only
// by the capture thread; every failure is silent apart from one beep when a
// rotation cannot open its new file.
//
// Entries are gathered in a buffer. They reach the file within about 100 ms
// of being written provided the caller invokes FlushIfDue() on every pass of
// its receive loop, also when the receive timed out, with a receive timeout
// of at most 50 ms; they always reach it before a rotation, a close and the
// destructor.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>

// Where the log takes its time from; tests substitute their own.
class ILogClock {
public:
    virtual ~ILogClock() = default;
    // Calendar seconds, as time() gives them: stamps and file names.
    virtual std::time_t CalendarSeconds() = 0;
    // Any steadily increasing millisecond count: the flush bound.
    virtual std::int64_t SteadyMilliseconds() = 0;
};

ILogClock& SystemLogClock();

inline constexpr std::uint64_t kLogSizeLimit = 262144;
inline constexpr std::int64_t kLogFlushDelayMs = 50;

class CCaptureLog {
public:
    explicit CCaptureLog(ILogClock* clock = nullptr);
    virtual ~CCaptureLog();

    CCaptureLog(const CCaptureLog&) = delete;
    CCaptureLog& operator=(const CCaptureLog&) = delete;

    // The directory that receives the files, created when missing. Empty
    // (the default) means DefaultLogDirectory(). Takes effect at the next
    // open.
    void SetDirectory(std::string directory);

    // Closes any open file, then starts a new one named after the current
    // time, or after `when`. When it cannot be opened the log stays closed.
    void OpenCaptureLog();
    void OpenCaptureLog(std::time_t when);

    // Entries go to an already open descriptor (standard output), never
    // rotated; closing flushes but leaves the descriptor open.
    void OpenCaptureLogStream(int fd);

    // One entry of exactly `length` bytes of text, stamped with the current
    // time, or with `when` (a datagram's own capture time).
    void WriteCaptureLog(const void* text, std::size_t length);
    void WriteCaptureLog(const void* text, std::size_t length, std::time_t when);

    // Writes out buffered entries older than kLogFlushDelayMs. Cheap when
    // nothing is buffered.
    void FlushIfDue();
    // Writes out everything buffered.
    void Flush();
    void CloseCaptureLog();

    bool IsOpen() const { return fd_ >= 0; }
    // Path of the open (or last) file; empty for a stream.
    const std::string& FilePath() const { return path_; }
    // Writes that failed since construction (the entries are lost, the log
    // goes on).
    std::uint64_t FailedWrites() const { return failedWrites_; }

private:
    struct Stamp {
        std::time_t second = 0;
        bool valid = false;
        bool converted = false;     // false: the time has no local form
        char entry[96] = {};        // "<Sat, 05 Dec 2026 22:16:25>\t"
        std::size_t entryLength = 0;
        char name[64] = {};         // "2026_12_05_22_16_25"
    };

    const Stamp& StampFor(std::time_t when);
    bool OpenFile(std::time_t when);
    void Rotate(std::time_t when);
    void Append(const void* bytes, std::size_t length);
    void WriteOut(const void* bytes, std::size_t length);
    void FlushBuffer();

    ILogClock& clock_;
    std::string directory_;
    std::string path_;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool rotates_ = false;
    std::uint64_t fileBytes_ = 0;   // bytes that reached the file
    std::uint64_t failedWrites_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::int64_t pendingSince_ = 0;
    Stamp stamp_;
    // How many files this log began under each base name, so that a second
    // file begun in the same second (or in a repeated hour at the end of
    // summer time) gets a suffix instead of replacing the first.
    std::map<std::string, unsigned> namesUsed_;
};
