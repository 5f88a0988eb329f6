#pragma once
// The capture log: one file per run in the log directory (capture/LogDirectory.h), named by
// local time, rotated at 256 KiB with a closing note. Each entry is a stamp,
// the decoded text (any bytes, zeros included) and an empty line. Written only
// by the capture thread; every failure is silent apart from one beep when a
// rotation cannot open its new file.
//
// Entries are gathered in a buffer and reach the file at Flush(), when the
// buffer is full, before a rotation, at a close and in the destructor: the
// caller flushes before it lets anyone see what it logged. A write that
// fails (a full disk) cuts the file back to its last whole entry, so no cut
// entry ever has others behind it; later writes try again.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct iovec;

// Where the log takes its time from; tests substitute their own.
class ILogClock {
public:
    virtual ~ILogClock() = default;
    // Calendar seconds, as time() gives them: stamps and file names.
    virtual std::time_t CalendarSeconds() = 0;
};

ILogClock& SystemLogClock();

inline constexpr std::uint64_t kLogSizeLimit = 262144;

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

    // Hands everything buffered to the kernel. Cheap when nothing is.
    void Flush();
    void CloseCaptureLog();

    bool IsOpen() const { return fd_ >= 0; }
    // Path of the open (or last) file; empty for a stream.
    const std::string& FilePath() const { return path_; }
    // Writes that failed since construction (their entries are lost, the
    // log goes on).
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
    std::size_t WriteOut(const iovec* pieces, int count);
    void WriteWhole(const iovec* pieces, int count);
    bool CutBack(std::uint64_t length);
    void FlushBuffer();

    ILogClock& clock_;
    std::string directory_;
    std::string path_;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool rotates_ = false;
    std::uint64_t fileBytes_ = 0;   // bytes of whole entries in the file
    bool cutPending_ = false;       // the file holds more than fileBytes_
    std::uint64_t failedWrites_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::vector<std::size_t> ends_;  // where each whole piece in the buffer ends
    Stamp stamp_;
    // How many files this log began under each base name, so that a second
    // file begun in the same second (or in a repeated hour at the end of
    // summer time) gets a suffix instead of replacing the first.
    std::map<std::string, unsigned> namesUsed_;
};
