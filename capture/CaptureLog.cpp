#include "capture/CaptureLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "capture/LogDirectory.h"
#include "platform/beep/Beep.h"

namespace {

constexpr std::size_t kBufferCapacity = 64 * 1024;
constexpr unsigned kRotationBeepHz = 1000;
constexpr unsigned kRotationBeepMs = 1000;
// Bounds the memory of same-second bookkeeping on very long runs; the oldest
// names go first, and those can no longer recur under a forward clock.
constexpr std::size_t kNamesRemembered = 4096;

// Fixed English names: the stamps must not follow the user's locale.
constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr char kEntryEnd[] = "\r\n\r\n";
constexpr char kRotationNote[] = "\r\nCreating new log file at ";

class CSystemLogClock final : public ILogClock {
public:
    std::time_t CalendarSeconds() override { return std::time(nullptr); }
};

iovec Piece(const void* bytes, std::size_t length) { return {const_cast<void*>(bytes), length}; }

}  // namespace

ILogClock& SystemLogClock() {
    static CSystemLogClock clock;
    return clock;
}

CCaptureLog::CCaptureLog(ILogClock* clock)
    : clock_(clock ? *clock : SystemLogClock()), buffer_(new char[kBufferCapacity]) {
    ends_.reserve(1024);
}

CCaptureLog::~CCaptureLog() { CloseCaptureLog(); }

void CCaptureLog::SetDirectory(std::string directory) { directory_ = std::move(directory); }

const CCaptureLog::Stamp& CCaptureLog::StampFor(std::time_t when) {
    if (stamp_.valid && stamp_.second == when) return stamp_;
    stamp_ = Stamp{};
    stamp_.second = when;
    stamp_.valid = true;
    std::tm local{};
    if (!localtime_r(&when, &local) || local.tm_wday < 0 || local.tm_wday > 6 ||
        local.tm_mon < 0 || local.tm_mon > 11) {
        // No local form: an empty stamp, and a file name without a time.
        stamp_.entry[0] = '\0';
        stamp_.entryLength = 0;
        return stamp_;
    }
    stamp_.converted = true;
    long long year = static_cast<long long>(local.tm_year) + 1900;
    int n = std::snprintf(stamp_.entry, sizeof stamp_.entry, "<%s, %02d %s %lld %02d:%02d:%02d>\t",
                          kDayNames[local.tm_wday], local.tm_mday, kMonthNames[local.tm_mon], year,
                          local.tm_hour, local.tm_min, local.tm_sec);
    stamp_.entryLength = n > 0 ? static_cast<std::size_t>(n) : 0;
    std::snprintf(stamp_.name, sizeof stamp_.name, "%lld_%02d_%02d_%02d_%02d_%02d", year,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return stamp_;
}

bool CCaptureLog::OpenFile(std::time_t when) {
    std::string directory = directory_.empty() ? DefaultLogDirectory() : directory_;
    if (directory.empty()) return false;
    // An existing directory, or one that cannot be made: the open decides.
    mkdir(directory.c_str(), 0755);

    std::string base = directory + "/ORN_" + StampFor(when).name;
    unsigned& earlier = namesUsed_[base];
    std::string path = base;
    if (earlier > 0) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%03u", earlier);
        path += suffix;
    }
    ++earlier;
    while (namesUsed_.size() > kNamesRemembered) namesUsed_.erase(namesUsed_.begin());
    path += ".log";

    path_ = path;
    // Paths beyond the system's limit fail here (ENAMETOOLONG) rather than
    // being cut to some other file's name.
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    ownsFd_ = true;
    rotates_ = true;
    fileBytes_ = 0;
    cutPending_ = false;
    return true;
}

void CCaptureLog::OpenCaptureLog() { OpenCaptureLog(clock_.CalendarSeconds()); }

void CCaptureLog::OpenCaptureLog(std::time_t when) {
    CloseCaptureLog();
    OpenFile(when);
}

void CCaptureLog::OpenCaptureLogStream(int fd) {
    CloseCaptureLog();
    if (fd < 0) return;
    fd_ = fd;
    ownsFd_ = false;
    rotates_ = false;
    fileBytes_ = 0;
    cutPending_ = false;
    path_.clear();
}

void CCaptureLog::WriteCaptureLog(const void* text, std::size_t length) {
    WriteCaptureLog(text, length, clock_.CalendarSeconds());
}

void CCaptureLog::WriteCaptureLog(const void* text, std::size_t length, std::time_t when) {
    if (fd_ < 0) return;
    // The size test counts what is still buffered: that is the file's length
    // once written out.
    if (rotates_ && fileBytes_ + used_ >= kLogSizeLimit) {
        Rotate(when);
        if (fd_ < 0) return;  // the rotation failed: this entry and the rest are lost
    }
    const Stamp& stamp = StampFor(when);
    const std::size_t entryLength = stamp.entryLength + length + 4;
    if (used_ + entryLength > kBufferCapacity) FlushBuffer();
    if (entryLength > kBufferCapacity) {
        const iovec pieces[] = {Piece(stamp.entry, stamp.entryLength), Piece(text, length), Piece(kEntryEnd, 4)};
        WriteWhole(pieces, 3);
        return;
    }
    char* end = buffer_.get() + used_;
    std::memcpy(end, stamp.entry, stamp.entryLength);
    end += stamp.entryLength;
    if (length) std::memcpy(end, text, length);
    std::memcpy(end + length, kEntryEnd, 4);
    used_ += entryLength;
    ends_.push_back(used_);
}

void CCaptureLog::Rotate(std::time_t when) {
    const Stamp& stamp = StampFor(when);
    // The note carries the stamp without its brackets and tab.
    const std::size_t stampLength = stamp.entryLength >= 3 ? stamp.entryLength - 3 : 0;
    const std::size_t noteLength = sizeof kRotationNote - 1 + stampLength;
    if (used_ + noteLength > kBufferCapacity) FlushBuffer();
    std::memcpy(buffer_.get() + used_, kRotationNote, sizeof kRotationNote - 1);
    if (stampLength) std::memcpy(buffer_.get() + used_ + sizeof kRotationNote - 1, stamp.entry + 1, stampLength);
    used_ += noteLength;
    ends_.push_back(used_);
    FlushBuffer();
    if (ownsFd_) close(fd_);
    fd_ = -1;
    if (!OpenFile(when)) Beep(kRotationBeepHz, kRotationBeepMs);
}

// Writes the pieces straight to the file, completing short writes. Returns
// the bytes written: less than all of them when a write failed (counted).
std::size_t CCaptureLog::WriteOut(const iovec* pieces, int count) {
    if (cutPending_ && !CutBack(fileBytes_)) {
        ++failedWrites_;
        return 0;
    }
    iovec left[3];
    count = std::min(count, 3);
    std::copy(pieces, pieces + count, left);
    iovec* next = left;
    std::size_t written = 0;
    while (count > 0) {
        if (next->iov_len == 0) {
            ++next, --count;
            continue;
        }
        const ssize_t n = writev(fd_, next, count);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            for (std::size_t done = static_cast<std::size_t>(n); done > 0;) {
                const std::size_t step = std::min(done, next->iov_len);
                next->iov_base = static_cast<char*>(next->iov_base) + step;
                next->iov_len -= step;
                done -= step;
                if (next->iov_len == 0) ++next, --count;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A non-blocking stream (a pipe on standard output): wait for room.
            pollfd pfd{fd_, POLLOUT, 0};
            if (poll(&pfd, 1, -1) >= 0 || errno == EINTR) continue;
        }
        ++failedWrites_;
        break;
    }
    return written;
}

// One whole entry, or nothing of it.
void CCaptureLog::WriteWhole(const iovec* pieces, int count) {
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) total += pieces[i].iov_len;
    if (WriteOut(pieces, count) == total)
        fileBytes_ += total;
    else
        CutBack(fileBytes_);
}

// Cuts the file back to `length` bytes, the end of its last whole entry, and
// writes on from there. Until that succeeds nothing more is written, so no
// entry lands behind a cut one. A stream keeps what went out.
bool CCaptureLog::CutBack(std::uint64_t length) {
    fileBytes_ = length;
    cutPending_ = ownsFd_ && !(ftruncate(fd_, static_cast<off_t>(length)) == 0 &&
                               lseek(fd_, static_cast<off_t>(length), SEEK_SET) == static_cast<off_t>(length));
    return !cutPending_;
}

void CCaptureLog::FlushBuffer() {
    const std::size_t length = used_;
    used_ = 0;
    if (length == 0 || fd_ < 0) {
        ends_.clear();
        return;
    }
    const iovec piece = Piece(buffer_.get(), length);
    const std::size_t written = WriteOut(&piece, 1);
    // The whole pieces that made it stay; a cut one goes.
    std::size_t whole = 0;
    for (std::size_t end : ends_) {
        if (end > written) break;
        whole = end;
    }
    ends_.clear();
    if (written == length)
        fileBytes_ += length;
    else
        CutBack(fileBytes_ + whole);
}

void CCaptureLog::Flush() { FlushBuffer(); }

void CCaptureLog::CloseCaptureLog() {
    if (fd_ < 0) return;
    FlushBuffer();
    if (ownsFd_) close(fd_);
    fd_ = -1;
    ownsFd_ = false;
}
