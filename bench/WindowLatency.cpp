// How responsive the main window stays while a capture run floods it: a
// capture file of UDP datagrams replayed through a real run into a real
// CMainDlg (offscreen), paced at RATE datagrams per second and then at full
// speed, every datagram accepted, stored and logged. Meanwhile a 5 ms timer
// measures how late the window thread serves it, and a probe thread posts an
// event every 5 ms and measures how long it waits in the queue. Not a test.
// The paced run is repeated with Follow newest on, which refills the page as
// records come, and both again with a display filter set (matching half the
// datagrams), which the window applies to every record that comes, and once
// with the conversations window open, which counts the whole store afresh
// every second. At full speed the file is read PASSES times over, for enough
// samples; then the time to set a display filter over the full store, to
// clear it, and to count the conversations of the full store.
//   bench-window-latency [DATAGRAMS [RATE [PASSES]]]

#include <arpa/inet.h>
#include <pcap/pcap.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/capture/PcapSource.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/registry/Registry.h"
#include "platform/sound/SoundRecorder.h"
#include "dialogs/CConversationsDlg.h"
#include "dialogs/CMainDlg.h"
#include "skin/qt/CSkinListCtrl.h"

namespace {

using Clock = std::chrono::steady_clock;

void WriteUdpCapture(const std::string& path, long count) {
    pcap_t* dead = pcap_open_dead(DLT_RAW, 65535);
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    std::uint8_t d[48] = {0x45, 0, 0, 48, 0x12, 0x34, 0x40, 0, 64, 17, 0, 0};
    const std::uint32_t to = inet_addr("10.9.0.1");
    std::memcpy(d + 16, &to, 4);
    d[20] = 0xc3, d[21] = 0x50, d[22] = 0, d[23] = 53, d[24] = 0, d[25] = 28;
    std::memset(d + 28, 'x', 20);
    for (long i = 0; i < count; ++i) {
        const std::uint32_t from = htonl(0x0a010000u + std::uint32_t(i % 65536));
        std::memcpy(d + 12, &from, 4);
        pcap_pkthdr header{};
        header.ts.tv_sec = 1796508985 + i / 100000;
        header.caplen = header.len = sizeof d;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &header, d);
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
}

// The file at a steady rate (0: as fast as it can be read), read `passes` times.
class CPacedFile final : public ICaptureSource {
public:
    CPacedFile(std::string path, double rate, int passes)
        : path(std::move(path)), file(std::make_unique<CFileCaptureSource>(this->path)), rate(rate), passes(passes) {}
    CaptureFailure Startup() override { return file->Startup(); }
    CaptureFailure FindInterface() override { return file->FindInterface(); }
    CaptureFailure Activate() override { return file->Activate(); }
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override {
        if (rate > 0) {
            if (delivered == 0) start = Clock::now();
            const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(double(delivered) / rate));
            if (Clock::now() < due) std::this_thread::sleep_until(due);
        }
        ReceiveResult result = file->Receive(datagram, timeoutMs);
        if (result == ReceiveResult::EndOfFile && --passes > 0) {
            file = std::make_unique<CFileCaptureSource>(path);
            if (file->Startup() != CaptureFailure::None || file->Activate() != CaptureFailure::None)
                return ReceiveResult::Failed;
            result = file->Receive(datagram, timeoutMs);
        }
        if (result == ReceiveResult::Datagram) ++delivered;
        return result;
    }
    void Stop() override { file->Stop(); }
    CaptureStatistics Statistics() override { return file->Statistics(); }
    const std::string& ErrorText() const override { return file->ErrorText(); }

private:
    std::string path;
    std::unique_ptr<CFileCaptureSource> file;
    double rate;
    int passes;
    long delivered = 0;
    Clock::time_point start;
};

struct Figures {
    std::vector<double> ms;
    void Print(const char* what) {
        std::sort(ms.begin(), ms.end());
        if (ms.empty()) {
            std::printf("  %-26s no samples\n", what);
            return;
        }
        const auto at = [&](double q) { return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))]; };
        std::printf("  %-26s p50 %7.3f ms   p99 %7.3f ms   max %7.3f ms   (%zu samples)\n", what, at(0.50), at(0.99),
                    ms.back(), ms.size());
    }
};

constexpr char kBenchFilter[] = "src net 10.1.0.0/17 and udp port 53";

// Sets the filter over the window's store as the dialog would, and clears it.
void MeasureFilterTimes(CMainDlg& dlg) {
    for (const char* expression : {kBenchFilter, "", "tcp[tcpflags] & tcp-syn != 0", ""}) {
        QElapsedTimer clock;
        clock.start();
        dlg.SetDisplayFilter(expression);
        std::printf("  %s the display filter%s%s over %zu records: %.1f ms (%zu shown)\n", *expression ? "setting" : "clearing",
                    *expression ? " " : "", expression, dlg.Store().Count(), double(clock.nsecsElapsed()) / 1e6,
                    dlg.DisplayFilterView().Active() ? dlg.DisplayFilterView().Count() : dlg.Store().Count());
    }
    QElapsedTimer clock;
    clock.start();
    std::uint64_t from;
    const AcceptedRows all = dlg.Store().Since(0, CPacketStore::kLimit, from);
    const double snapshot = double(clock.nsecsElapsed()) / 1e6;
    const std::size_t found = CountConversations(all).size();
    std::printf("  counting the conversations of %zu records: %.1f ms (the store's snapshot %.1f ms), %zu found\n",
                all.size(), double(clock.nsecsElapsed()) / 1e6, snapshot, found);
}

void Measure(const std::string& capture, const std::string& logs, long count, double rate, int passes,
             bool follow = false, bool filtered = false, bool conversations = false) {
    CMainDlgOptions options;
    options.source = [capture, rate, passes](const std::string&) { return std::make_unique<CPacedFile>(capture, rate, passes); };
    CMainDlg dlg(options);
    dlg.Log().SetDirectory(logs);
    dlg.show();
    QCoreApplication::processEvents();
    dlg.SetFollowNewest(follow);
    dlg.SetDisplayFilter(filtered ? kBenchFilter : "");
    std::unique_ptr<CConversationsDlg> conversationsWindow;
    if (conversations) {
        conversationsWindow = std::make_unique<CConversationsDlg>(dlg.Store(), &dlg);
        conversationsWindow->show();
    }

    Figures timer, posted;
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) timer.ms.push_back(std::max(0.0, double(now - last) / 1e6 - 5.0));
        last = now;
    });
    std::atomic<bool> probing{true};
    std::mutex postedMutex;
    std::thread probe([&] {
        while (probing) {
            const auto sent = Clock::now();
            QMetaObject::invokeMethod(&dlg, [&, sent] {
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
                std::lock_guard lock(postedMutex);
                posted.ms.push_back(ms);
            }, Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    const auto began = Clock::now();
    tick.start(5);
    dlg.SendCommand(1000);  // Start listening
    QEventLoop loop;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (!dlg.Run().IsCaptureThreadRunning() && dlg.Item(1000)->isVisible()) loop.quit();
    });
    done.start(20);
    loop.exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    tick.stop();
    probing = false;
    probe.join();
    QCoreApplication::processEvents();

    if (rate > 0)
        std::printf("paced at %.0f datagrams/s%s%s%s:\n", rate, follow ? ", following the newest" : "",
                    filtered ? ", display filter set" : "", conversations ? ", conversations window open" : "");
    else
        std::printf("full speed:\n");
    const double total = double(count) * passes;
    std::printf("  %.0f datagrams in %.2f s (%.0f/s), %zu in the store, %d rows\n", total, seconds, total / seconds, dlg.Store().Count(), dlg.Control<CSkinListCtrl>(1023)->GetItemCount());
    std::uintmax_t logBytes = 0;
    std::error_code ignored;
    for (const auto& f : std::filesystem::directory_iterator(logs, ignored)) logBytes += f.file_size(ignored);
    std::printf("  %.1f MB of log\n", double(logBytes) / 1e6);
    timer.Print("5 ms timer lateness");
    std::lock_guard lock(postedMutex);
    posted.Print("posted event wait");
    if (rate == 0) MeasureFilterTimes(dlg);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const long count = argc > 1 ? std::atol(argv[1]) : 500000;
    const double rate = argc > 2 ? std::atof(argv[2]) : 100000;
    const int passes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 4;
    QApplication app(argc, argv);

    char pattern[] = "/tmp/orn-bench-window.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    SetRegistryStorePath(dir + "/registry.reg");
    CSoundRecorder sounds;
    CMessageBoxRecorder boxes;
    const std::string capture = dir + "/udp.pcap";
    WriteUdpCapture(capture, count);

    Measure(capture, dir + "/log-paced", count, rate, 1);
    Measure(capture, dir + "/log-follow", count, rate, 1, true);
    Measure(capture, dir + "/log-filtered", count, rate, 1, false, true);
    Measure(capture, dir + "/log-filtered-follow", count, rate, 1, true, true);
    Measure(capture, dir + "/log-conversations", count, rate, 1, false, false, true);
    Measure(capture, dir + "/log-full", count, 0, passes);
    for (const auto& box : boxes.Texts()) std::printf("message box: %s\n", box.c_str());

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
