#include "capture/CaptureLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "capture/LogDirectory.h"
#include "platform/beep/Beep.h"
#include "platform/system/System.h"

namespace {

constexpr std::size_t kBufferCapacity = 64 * 1024;
constexpr unsigned kRotationBeepHz = 1000;
constexpr unsigned kRotationBeepMs = 1000;
// Files begun in one second: ORN_<time>.log, then _001 up to _999.
constexpr unsigned kSameSecondNames = 1000;

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

void ReportToStandardError(const std::string& text) { std::fprintf(stderr, "capture log: %s\n", text.c_str()); }

LogProblemHandler problemHandler = ReportToStandardError;

}  // namespace

LogProblemHandler SetLogProblemHandler(LogProblemHandler handler) {
    return std::exchange(problemHandler, handler ? handler : ReportToStandardError);
}

ILogClock& SystemLogClock() {
    static CSystemLogClock clock;
    return clock;
}

CCaptureLog::CCaptureLog(ILogClock* clock)
    : clock_(clock ? *clock : SystemLogClock()), buffer_(new char[kBufferCapacity]) {
    ends_.reserve(1024);
}

CCaptureLog::~CCaptureLog() { CloseCaptureLog(); }

void CCaptureLog::SetDirectory(std::string directory, bool makeParents) {
    directory_ = std::move(directory);
    makeParents_ = makeParents || directory_.empty();
}

const CCaptureLog::Stamp& CCaptureLog::StampFor(std::time_t when) {
    if (stamp_.valid && stamp_.second == when) return stamp_;
    stamp_ = Stamp{};
    stamp_.second = when;
    stamp_.valid = true;
    std::tm local{};
    if (!LocalTime(when, local) || local.tm_wday < 0 || local.tm_wday > 6 ||
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
    triedAt_ = clock_.CalendarSeconds();
    const LogPlace place = directory_.empty() ? DefaultLogDirectory() : LogPlace{directory_, {}};
    if (place.directory.empty()) {
        Report("no log directory: " + place.why);
        return false;
    }
    std::string error;
    const std::unique_ptr<ILogFolder> folder = OpenLogFolder(place.directory, makeParents_, error);
    if (!folder) {
        Report(error);
        return false;
    }
    // A name already taken (by an earlier file of this second, of a repeated
    // hour at the end of summer time, or by anything planted there) is passed
    // over, never opened.
    const std::string base = std::string("ORN_") + StampFor(when).name;
    for (unsigned taken = 0; taken < kSameSecondNames; ++taken) {
        char suffix[16] = "";
        if (taken > 0) std::snprintf(suffix, sizeof suffix, "_%03u", taken);
        const std::string name = base + suffix + ".log";
        ILogFolder::Made made = ILogFolder::Made::Failed;
        std::unique_ptr<ILogOutput> file = folder->MakeFile(name, made, error);
        if (made == ILogFolder::Made::NameTaken) continue;
        path_ = place.directory + "/" + name;
        if (!file) {
            Report(path_ + ": " + error);
            return false;
        }
        UseOutput(std::move(file), true);
        std::lock_guard lock(problemMutex_);
        problem_.clear();
        return true;
    }
    Report(place.directory + "/" + base + ".log: every name of this second is taken");
    return false;
}

void CCaptureLog::UseOutput(std::unique_ptr<ILogOutput> output, bool rotates) {
    output_ = std::move(output);
    rotates_ = rotates;
    reopen_ = false;
    fileBytes_ = 0;
    cutPending_ = false;
    failing_ = false;
}

void CCaptureLog::Report(const std::string& text) {
    {
        std::lock_guard lock(problemMutex_);
        if (text == problem_) return;  // said already
        problem_ = text;
    }
    problemHandler(text);
}

std::string CCaptureLog::Problem() const {
    std::lock_guard lock(problemMutex_);
    return problem_;
}

void CCaptureLog::OpenCaptureLog() { OpenCaptureLog(clock_.CalendarSeconds()); }

void CCaptureLog::OpenCaptureLog(std::time_t when) {
    CloseCaptureLog();
    reopen_ = !OpenFile(when);
}

void CCaptureLog::OpenCaptureLogStream(int fd) {
    if (fd < 0) {
        CloseCaptureLog();
        return;
    }
    OpenCaptureLogOutput(LogStreamOutput(fd));
}

void CCaptureLog::OpenCaptureLogOutput(std::unique_ptr<ILogOutput> output) {
    CloseCaptureLog();
    UseOutput(std::move(output), false);
    path_.clear();
}

void CCaptureLog::WriteCaptureLog(const void* text, std::size_t length) {
    WriteCaptureLog(text, length, clock_.CalendarSeconds());
}

void CCaptureLog::WriteCaptureLog(const void* text, std::size_t length, std::time_t when) {
    if (!output_ && reopen_ && clock_.CalendarSeconds() != triedAt_) reopen_ = !OpenFile(when);
    if (!output_) {
        ++unlogged_;
        return;
    }
    // The size test counts what is still buffered: that is the file's length
    // once written out.
    if (rotates_ && fileBytes_ + used_ >= kLogSizeLimit) {
        Rotate(when);
        if (!output_) {  // the rotation failed: this entry is lost, and so are the rest of this second's
            ++unlogged_;
            return;
        }
    }
    const Stamp& stamp = StampFor(when);
    const std::size_t entryLength = stamp.entryLength + length + 4;
    if (used_ + entryLength > kBufferCapacity) FlushBuffer();
    if (entryLength > kBufferCapacity) {
        const LogPiece pieces[] = {{stamp.entry, stamp.entryLength}, {text, length}, {kEntryEnd, 4}};
        WriteWhole(pieces, 3);
        return;
    }
    char* end = buffer_.get() + used_;
    std::memcpy(end, stamp.entry, stamp.entryLength);
    end += stamp.entryLength;
    if (length) std::memcpy(end, text, length);
    std::memcpy(end + length, kEntryEnd, 4);
    used_ += entryLength;
    ends_.push_back({used_, true});
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
    ends_.push_back({used_, false});
    FlushBuffer();
    output_.reset();
    if (OpenFile(when)) return;
    reopen_ = true;
    Beep(kRotationBeepHz, kRotationBeepMs);
}

// Writes the pieces straight to the file, completing short writes. Returns
// the bytes written: less than all of them when a write failed (counted and
// reported).
std::size_t CCaptureLog::WriteOut(const LogPiece* pieces, int count) {
    if (cutPending_ && !CutBack(fileBytes_)) {
        ++failedWrites_;
        return 0;
    }
    LogPiece left[3];
    count = std::min(count, 3);
    std::copy(pieces, pieces + count, left);
    LogPiece* next = left;
    std::size_t written = 0;
    while (count > 0) {
        if (next->length == 0) {
            ++next, --count;
            continue;
        }
        std::string error;
        const long long n = output_->Write(next, count, error);
        if (n <= 0) {
            ++failedWrites_;
            if (!failing_) Report((path_.empty() ? std::string("output") : path_) + ": " + (n < 0 ? error : "nothing written"));
            failing_ = true;
            break;
        }
        written += static_cast<std::size_t>(n);
        for (std::size_t done = static_cast<std::size_t>(n); done > 0 && count > 0;) {
            const std::size_t step = std::min(done, next->length);
            next->data = static_cast<const char*>(next->data) + step;
            next->length -= step;
            done -= step;
            if (next->length == 0) ++next, --count;
        }
    }
    if (count == 0) failing_ = false;
    return written;
}

// One whole entry, or nothing of it.
void CCaptureLog::WriteWhole(const LogPiece* pieces, int count) {
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) total += pieces[i].length;
    if (WriteOut(pieces, count) == total) {
        fileBytes_ += total;
        return;
    }
    ++unlogged_;
    CutBack(fileBytes_);
}

// Cuts the file back to `length` bytes, the end of its last whole entry, and
// writes on from there. Until that succeeds nothing more is written, so no
// entry lands behind a cut one. A stream keeps what went out.
bool CCaptureLog::CutBack(std::uint64_t length) {
    fileBytes_ = length;
    std::string error;
    cutPending_ = !output_->CutBack(length, error);
    if (cutPending_) Report(path_ + ": cannot cut back to the last whole entry: " + error);
    return !cutPending_;
}

void CCaptureLog::FlushBuffer() {
    const std::size_t length = used_;
    used_ = 0;
    if (length == 0 || !output_) {
        for (const PieceEnd& piece : ends_) unlogged_ += piece.entry;
        ends_.clear();
        return;
    }
    const LogPiece piece{buffer_.get(), length};
    const std::size_t written = WriteOut(&piece, 1);
    // The whole pieces that made it stay; a cut one goes, and so does the rest.
    std::size_t whole = 0;
    for (const PieceEnd& piece : ends_) {
        if (piece.end <= written)
            whole = piece.end;
        else
            unlogged_ += piece.entry;
    }
    ends_.clear();
    if (written == length)
        fileBytes_ += length;
    else
        CutBack(fileBytes_ + whole);
}

void CCaptureLog::Flush() { FlushBuffer(); }

void CCaptureLog::CloseCaptureLog() {
    reopen_ = false;
    if (!output_) return;
    FlushBuffer();
    output_.reset();
}
