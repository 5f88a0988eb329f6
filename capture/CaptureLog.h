#pragma once
// The capture log: one file per run in the log directory (capture/LogDirectory.h), named by
// local time, rotated at 256 KiB with a closing note. Each entry is a stamp,
// the decoded text (any bytes, zeros included) and an empty line. Written only
// by the capture thread. Files are made new and private through
// platform/logfiles (never through a link, never over an existing file).
//
// Entries are gathered in a buffer and reach the file at Flush(), when the
// buffer is full, before a rotation, at a close and in the destructor: the
// caller flushes before it lets anyone see what it logged. A write that
// fails (a full disk) cuts the file back to its last whole entry, so no cut
// entry ever has others behind it; later writes try again. A file that
// cannot be made (at a run's start or a rotation) is tried again in each
// later second. Entries that reach no file are counted (Unlogged()), and
// each new problem is reported once, with its reason, to the problem handler
// (standard error by default); a failed rotation also beeps once.
//
// Nothing reads logs back. A kill during a write can leave a run's newest
// file ending inside its last entry: a whole file ends with CR LF CR LF, or
// with the rotation note; one that ends otherwise holds a cut entry.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/logfiles/LogFiles.h"

// Where the log takes its time from; tests substitute their own.
class ILogClock {
public:
    virtual ~ILogClock() = default;
    // Calendar seconds, as time() gives them: stamps and file names.
    virtual std::time_t CalendarSeconds() = 0;
};

ILogClock& SystemLogClock();

// Receives the log's problems, on the capture thread; returns the previous
// handler. The default writes a line to standard error.
using LogProblemHandler = void (*)(const std::string& text);
LogProblemHandler SetLogProblemHandler(LogProblemHandler handler);

inline constexpr std::uint64_t kLogSizeLimit = 262144;

class CCaptureLog {
public:
    explicit CCaptureLog(ILogClock* clock = nullptr);
    virtual ~CCaptureLog();

    CCaptureLog(const CCaptureLog&) = delete;
    CCaptureLog& operator=(const CCaptureLog&) = delete;

    // The directory that receives the files, created (0700) when missing,
    // with its missing parents when `makeParents`. Empty (the default) means
    // DefaultLogDirectory(), parents made. Takes effect at the next open.
    void SetDirectory(std::string directory, bool makeParents = false);

    // Closes any open file, then starts a new one named after the current
    // time, or after `when`. When it cannot be opened the log stays closed.
    void OpenCaptureLog();
    void OpenCaptureLog(std::time_t when);

    // Entries go to an already open descriptor (standard output), never
    // rotated; closing flushes but leaves the descriptor open.
    void OpenCaptureLogStream(int fd);
    // Entries go to `output`, never rotated (tests plant faults this way).
    void OpenCaptureLogOutput(std::unique_ptr<ILogOutput> output);

    // One entry of exactly `length` bytes of text, stamped with the current
    // time, or with `when` (a datagram's own capture time).
    void WriteCaptureLog(const void* text, std::size_t length);
    void WriteCaptureLog(const void* text, std::size_t length, std::time_t when);

    // Hands everything buffered to the kernel. Cheap when nothing is.
    void Flush();
    void CloseCaptureLog();

    bool IsOpen() const { return output_ != nullptr; }
    // Path of the open (or last) file; empty for a stream.
    const std::string& FilePath() const { return path_; }
    // Writes that failed since construction (their entries are lost, the
    // log goes on).
    std::uint64_t FailedWrites() const { return failedWrites_; }
    // Entries given since construction that reached no file: written while
    // no file was open, or cut back after a failed write.
    std::uint64_t Unlogged() const { return unlogged_; }
    // Any thread: the last problem since the last file was opened, with its
    // reason; empty when there was none.
    std::string Problem() const;

private:
    struct Stamp {
        std::time_t second = 0;
        bool valid = false;
        bool converted = false;     // false: the time has no local form
        char entry[96] = {};        // "<Sat, 05 Dec 2026 22:16:25>\t"
        std::size_t entryLength = 0;
        char name[64] = {};         // "2026_12_05_22_16_25"
    };

    // A whole piece in the buffer: an entry, or a rotation's note.
    struct PieceEnd {
        std::size_t end;
        bool entry;
    };

    const Stamp& StampFor(std::time_t when);
    bool OpenFile(std::time_t when);
    void UseOutput(std::unique_ptr<ILogOutput> output, bool rotates);
    void Rotate(std::time_t when);
    std::size_t WriteOut(const LogPiece* pieces, int count);
    void WriteWhole(const LogPiece* pieces, int count);
    bool CutBack(std::uint64_t length);
    void FlushBuffer();
    void Report(const std::string& text);

    ILogClock& clock_;
    std::string directory_;
    bool makeParents_ = true;
    std::string path_;
    std::unique_ptr<ILogOutput> output_;
    bool rotates_ = false;
    // No file could be made for this run: try again at a later second.
    bool reopen_ = false;
    std::time_t triedAt_ = 0;
    std::uint64_t fileBytes_ = 0;   // bytes of whole entries in the file
    bool cutPending_ = false;       // the file holds more than fileBytes_
    bool failing_ = false;          // the last write failed
    std::uint64_t failedWrites_ = 0;
    std::uint64_t unlogged_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::vector<PieceEnd> ends_;
    Stamp stamp_;
    mutable std::mutex problemMutex_;
    std::string problem_;
};
