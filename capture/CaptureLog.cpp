#include "capture/CaptureLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
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
    std::int64_t SteadyMilliseconds() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }
};

}  // namespace

ILogClock& SystemLogClock() {
    static CSystemLogClock clock;
    return clock;
}

CCaptureLog::CCaptureLog(ILogClock* clock)
    : clock_(clock ? *clock : SystemLogClock()), buffer_(new char[kBufferCapacity]) {}

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
    std::size_t entryLength = stamp.entryLength + length + 4;
    if (used_ + entryLength > kBufferCapacity) FlushBuffer();
    if (entryLength > kBufferCapacity) {
        WriteOut(stamp.entry, stamp.entryLength);
        WriteOut(text, length);
        WriteOut(kEntryEnd, 4);
        return;
    }
    std::int64_t now = clock_.SteadyMilliseconds();
    if (used_ == 0) pendingSince_ = now;
    char* end = buffer_.get() + used_;
    std::memcpy(end, stamp.entry, stamp.entryLength);
    end += stamp.entryLength;
    if (length) std::memcpy(end, text, length);
    std::memcpy(end + length, kEntryEnd, 4);
    used_ += entryLength;
    if (now - pendingSince_ >= kLogFlushDelayMs) FlushBuffer();
}

void CCaptureLog::Rotate(std::time_t when) {
    const Stamp& stamp = StampFor(when);
    Append(kRotationNote, sizeof kRotationNote - 1);
    // The note carries the stamp without its brackets and tab.
    if (stamp.entryLength >= 3) Append(stamp.entry + 1, stamp.entryLength - 3);
    FlushBuffer();
    if (ownsFd_) close(fd_);
    fd_ = -1;
    if (!OpenFile(when)) Beep(kRotationBeepHz, kRotationBeepMs);
}

void CCaptureLog::Append(const void* bytes, std::size_t length) {
    if (used_ + length > kBufferCapacity) FlushBuffer();
    if (length > kBufferCapacity) {
        WriteOut(bytes, length);
        return;
    }
    if (used_ == 0) pendingSince_ = clock_.SteadyMilliseconds();
    std::memcpy(buffer_.get() + used_, bytes, length);
    used_ += length;
}

// Writes straight to the file. A failure loses the rest of this piece and is
// counted; the next write tries again.
void CCaptureLog::WriteOut(const void* bytes, std::size_t length) {
    const char* p = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t n = write(fd_, p, length);
        if (n > 0) {
            p += n;
            length -= static_cast<std::size_t>(n);
            fileBytes_ += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A non-blocking stream (a pipe on standard output): wait for room.
            pollfd pfd{fd_, POLLOUT, 0};
            if (poll(&pfd, 1, -1) >= 0 || errno == EINTR) continue;
        }
        ++failedWrites_;
        return;
    }
}

void CCaptureLog::FlushBuffer() {
    if (used_ == 0 || fd_ < 0) {
        used_ = 0;
        return;
    }
    std::size_t length = used_;
    used_ = 0;
    WriteOut(buffer_.get(), length);
}

void CCaptureLog::FlushIfDue() {
    if (used_ == 0) return;
    if (clock_.SteadyMilliseconds() - pendingSince_ >= kLogFlushDelayMs) FlushBuffer();
}

void CCaptureLog::Flush() { FlushBuffer(); }

void CCaptureLog::CloseCaptureLog() {
    if (fd_ < 0) return;
    FlushBuffer();
    if (ownsFd_) close(fd_);
    fd_ = -1;
    ownsFd_ = false;
}
