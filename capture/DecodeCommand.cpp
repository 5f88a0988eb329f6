#include "capture/DecodeCommand.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "capture/CaptureRun.h"
#include "capture/PcapngWriter.h"
#include "platform/capture/DisplayFilter.h"
#include "platform/capture/PcapSource.h"
#include "platform/registry/Registry.h"
#include "platform/system/System.h"

namespace {

constexpr char kProgram[] = "orn-decode";

constexpr char kHelp[] =
    "Usage: orn-decode [--full] [--messages] [--filters] [-F EXPR] [-o DIR] [-w OUT] FILE...\n"
    "\n"
    "Runs every IPv4 datagram of the capture files (pcap or pcapng, any common\n"
    "link layer) through ORN's capture pipeline and writes one log entry per\n"
    "accepted datagram, in the log file format, stamped with the datagram's\n"
    "capture time in local time. The files are read in the order given.\n"
    "\n"
    "  --full       every header field (full info); default: reduced info\n"
    "  --messages   append the bytes behind the headers to each entry;\n"
    "               default: no messages\n"
    "  --filters    match against the filter set that ORN keeps in its\n"
    "               registry store and take its two options; --full and\n"
    "               --messages still switch theirs on. The store is only\n"
    "               read, and named on standard error. Without it every\n"
    "               datagram is accepted.\n"
    "  -F EXPR      only datagrams matching EXPR, a filter in tcpdump's\n"
    "               language applied to the IPv4 datagram (whatever its link\n"
    "               layer), are logged or written\n"
    "  -o DIR       write rotating ORN log files (a new one after 256 KiB) into\n"
    "               DIR, created when missing, instead of standard output. The\n"
    "               files are named after the capture time of their first\n"
    "               entry, so running again over the same capture replaces them.\n"
    "  -w OUT       write the accepted datagrams to OUT as a pcapng capture (raw\n"
    "               IPv4, with their capture times) instead of writing the\n"
    "               entries; with -o the entries still go to DIR. OUT appears\n"
    "               only once it is whole.\n"
    "  --help       show this text\n"
    "\n"
    "A file that is not a capture, or is cut short, is reported on standard\n"
    "error; its datagrams up to the damage are still written and the other\n"
    "files are still read. A file without any IPv4 datagram is named there\n"
    "too. Exit status: 0 when every file was read whole,\n"
    "1 when one was not (the filter store included) or the output failed,\n"
    "2 for a usage error. A progress line appears on standard error when it\n"
    "is a terminal (and the entries do not go to the same screen) and the\n"
    "work takes more than a second.\n";

struct DecodeOptions {
    bool full = false;
    bool messages = false;
    bool filters = false;
    std::string outDir;
    std::string writeFile;
    std::string filterExpression;
    std::vector<std::string> files;
};

void WriteAll(int fd, const std::string& text) { WriteToDescriptor(fd, text.data(), text.size()); }

// The run's window: counts the accepted datagrams and, with -w, writes them.
class CCountingWindow final : public ICaptureWindow {
public:
    explicit CCountingWindow(CPcapngWriter* writer) : writer_(writer) {}
    void SetByteRateText(const std::string&) override {}
    void SetPacketRateText(const std::string&) override {}
    void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) override {
        accepted.store(accepted.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (!writer_) return;
        // Just appended, the newest record: the budget releases the oldest first.
        const CHeldBytes held = record->Datagram();
        if (held.released)
            ++leftOut;
        else
            writer_->Write(held.bytes, record->captureSeconds, record->captureNanoseconds);
    }
    void ResetToIdle() override {}
    void ShowStartFailure(const std::string&) override {}
    void PostStopCommand() override {}

    std::atomic<std::uint64_t> accepted{0};
    std::uint64_t leftOut = 0;  // the capture thread's while it runs

private:
    CPcapngWriter* writer_;
};

// False, with the message in `error`, for a usage error.
bool ParseArguments(const std::vector<std::string>& arguments, DecodeOptions& options, bool& help,
                    std::string& error) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (optionsEnd || a.empty() || a[0] != '-' || a == "-") {
            options.files.push_back(a);
        } else if (a == "--") {
            optionsEnd = true;
        } else if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--full") {
            options.full = true;
        } else if (a == "--messages") {
            options.messages = true;
        } else if (a == "--filters") {
            options.filters = true;
        } else if (a == "-o") {
            if (i + 1 == arguments.size()) {
                error = "option -o needs a directory";
                return false;
            }
            options.outDir = arguments[++i];
        } else if (a.rfind("-o", 0) == 0) {
            options.outDir = a.substr(2);
        } else if (a == "-w") {
            if (i + 1 == arguments.size()) {
                error = "option -w needs a file";
                return false;
            }
            options.writeFile = arguments[++i];
        } else if (a.rfind("-w", 0) == 0) {
            options.writeFile = a.substr(2);
        } else if (a == "-F") {
            if (i + 1 == arguments.size()) {
                error = "option -F needs a filter expression";
                return false;
            }
            options.filterExpression = arguments[++i];
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (!help && options.files.empty()) {
        error = "no capture file given";
        return false;
    }
    return true;
}

// A capture file as the run reads it. With a log directory the first log
// file is opened at the first datagram, named by its capture time, so that
// a stream (a FIFO, standard input) is read only once.
class CDecodeSource final : public ICaptureSource {
public:
    CDecodeSource(std::unique_ptr<ICaptureSource> file, CCaptureLog* directoryLog, bool& logFailed)
        : file_(std::move(file)), directoryLog_(directoryLog), logFailed_(logFailed) {}

    CaptureFailure Startup() override { return file_->Startup(); }
    CaptureFailure FindInterface() override { return file_->FindInterface(); }
    CaptureFailure Activate() override { return file_->Activate(); }
    void Stop() override { file_->Stop(); }
    CaptureStatistics Statistics() override { return file_->Statistics(); }
    const std::string& ErrorText() const override { return file_->ErrorText(); }

    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override {
        const ReceiveResult result = file_->Receive(datagram, timeoutMs);
        if (result == ReceiveResult::Datagram && directoryLog_ && !directoryLog_->IsOpen()) {
            directoryLog_->OpenCaptureLog(static_cast<std::time_t>(datagram.seconds));
            if (!directoryLog_->IsOpen()) {
                logFailed_ = true;
                return ReceiveResult::Failed;
            }
        }
        return result;
    }

private:
    std::unique_ptr<ICaptureSource> file_;
    CCaptureLog* directoryLog_;
    bool& logFailed_;
};

// Libpcap names the file in some of its texts; the line names it already.
std::string WithoutPath(std::string text, const std::string& path) {
    const std::string prefix = path + ": ";
    if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
    return text.empty() ? "cannot be read" : text;
}

class CProgress {
public:
    // Not over entries that go to the same screen.
    CProgress(int fd, bool entriesOnScreen)
        : fd_(fd), tty_(IsTerminal(fd) && !entriesOnScreen), begin_(Clock::now()) {}

    void Show(const std::string& file, std::size_t index, std::size_t count, std::uint64_t datagrams) {
        if (!tty_ || Clock::now() - begin_ < std::chrono::seconds(1)) return;
        char line[512];
        std::snprintf(line, sizeof line, "\r%s: %.300s (%zu/%zu): %llu datagrams\033[K", kProgram, file.c_str(),
                      index + 1, count, static_cast<unsigned long long>(datagrams));
        WriteAll(fd_, line);
        shown_ = true;
    }
    // Before an error line, and at the end.
    void Clear() {
        if (shown_) WriteAll(fd_, "\r\033[K");
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    int fd_;
    bool tty_;
    bool shown_ = false;
    Clock::time_point begin_;
};

}  // namespace

int RunDecodeCommand(const std::vector<std::string>& arguments, int outFd, int errFd) {
    DecodeOptions options;
    bool help = false;
    std::string error;
    if (!ParseArguments(arguments, options, help, error)) {
        WriteAll(errFd, std::string(kProgram) + ": " + error + "\nTry 'orn-decode --help' for more.\n");
        return 2;
    }
    if (help) {
        WriteAll(outFd, kHelp);
        return 0;
    }

    // With --filters the set and options as the program would start with
    // them (its defaults where nothing is stored); else accept everything.
    CFilterSet set;
    int status = 0;
    if (options.filters) {
        const std::string store = RegistryStorePath();
        const std::int32_t read = ReadFilterSet(set);
        if (read == ERROR_SUCCESS) {
            WriteAll(errFd, std::string(kProgram) + ": filter set read from " + store + "\n");
        } else if (read == ERROR_FILE_NOT_FOUND) {
            WriteAll(errFd, std::string(kProgram) + ": no filter set stored in " + store +
                                "; the defaults apply (every datagram is accepted)\n");
        } else {
            WriteAll(errFd, std::string(kProgram) + ": " + store + ": " +
                                (read == ERROR_REGISTRY_CORRUPT ? "damaged, no filter set could be read"
                                                                : "cannot be read") +
                                "; the defaults apply (every datagram is accepted)\n");
            status = 1;
        }
    } else {
        set.messages = 0;
        set.fullInfo = 0;
    }
    if (options.full) set.fullInfo = 1;
    if (options.messages) set.messages = 1;
    CFilterSetHolder filters;
    filters.Publish(set);

    auto displayFilter = std::make_shared<CDisplayFilter>();
    if (!displayFilter->Compile(options.filterExpression, error)) {
        WriteAll(errFd, std::string(kProgram) + ": -F: " + error + "\n");
        return 2;
    }

    CPcapngWriter writer;
    if (!options.writeFile.empty() && !writer.Open(options.writeFile)) {
        WriteAll(errFd, std::string(kProgram) + ": " + options.writeFile + ": " + writer.Error() + "\n");
        return 1;
    }

    // With -w and without -o the log stays closed: no entries are written.
    // A directory's first file is opened at the first datagram.
    CCaptureLog log;
    bool logFailed = false;
    if (options.outDir.empty()) {
        if (options.writeFile.empty()) log.OpenCaptureLogStream(outFd);
    } else {
        log.SetDirectory(options.outDir, true);
    }
    CCaptureLog* directoryLog = options.outDir.empty() ? nullptr : &log;

    // Records only pass through: the store keeps the last one, whose
    // memory serves the next datagram, so memory stays flat whatever the
    // files' size.
    CPacketStore store(CPacketStore::kByteBudget, 1);
    CCountingWindow window(options.writeFile.empty() ? nullptr : &writer);
    CaptureRunOptions runOptions;
    runOptions.ownLogFile = false;
    runOptions.stampCaptureTime = true;
    CCaptureRun run(store, log, filters, &window, runOptions);
    CProgress progress(errFd, options.outDir.empty() && options.writeFile.empty() && IsTerminal(outFd));
    const auto cannotLog = [&] {
        progress.Clear();
        WriteAll(errFd, std::string(kProgram) + ": " + options.outDir + ": cannot create a log file there\n");
        return 1;
    };

    std::uint64_t done = 0;  // datagrams of the files already read
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const std::string& path = options.files[i];
        run.SetSourceFactory([&path, &displayFilter, directoryLog, &logFailed] {
            return std::make_unique<CDecodeSource>(
                std::make_unique<CFilteredCaptureSource>(std::make_unique<CFileCaptureSource>(path), displayFilter),
                directoryLog, logFailed);
        });
        if (run.StartCaptureRun() != 0) {
            progress.Clear();
            WriteAll(errFd, std::string(kProgram) + ": " + path + ": cannot start the capture run\n");
            status = 1;
            continue;
        }
        while (!run.WaitCaptureRun(200)) progress.Show(path, i, options.files.size(), done + run.Statistics().datagrams);
        done += run.Statistics().datagrams;
        if (logFailed) return cannotLog();
        const CaptureRunEnd end = run.LastEnd();
        if (end == CaptureRunEnd::StartFailed || end == CaptureRunEnd::ReceiveFailed) {
            progress.Clear();
            WriteAll(errFd, std::string(kProgram) + ": " + path + ": " + WithoutPath(run.ErrorText(), path) + "\n");
            status = 1;
        } else if (end == CaptureRunEnd::EndOfFile && run.Statistics().datagrams == 0 &&
                   options.filterExpression.empty()) {
            // Read whole, yet nothing to show: say why rather than print nothing.
            progress.Clear();
            WriteAll(errFd, std::string(kProgram) + ": " + path + ": " + NoIpv4Text(run.Statistics()) + "\n");
        }
    }
    // No datagram in any file: the directory still gets its (empty) file.
    if (directoryLog && !log.IsOpen()) {
        log.OpenCaptureLog(std::time(nullptr));
        if (!log.IsOpen()) return cannotLog();
    }
    log.CloseCaptureLog();
    progress.Clear();
    if (!options.writeFile.empty()) {
        if (!writer.Commit()) {
            WriteAll(errFd, std::string(kProgram) + ": " + options.writeFile + ": " + writer.Error() + "\n");
            status = 1;
        } else if (window.leftOut > 0) {
            WriteAll(errFd, std::string(kProgram) + ": " + options.writeFile + ": " + std::to_string(window.leftOut) +
                                " datagrams left out (released to stay within the memory budget)\n");
            status = 1;
        }
    }
    if (log.FailedWrites() > 0) {
        WriteAll(errFd, std::string(kProgram) + ": " +
                            (options.outDir.empty() ? std::string("standard output") : options.outDir) +
                            ": some log entries could not be written\n");
        status = 1;
    }
    return status;
}
