// A capture run on the live interface with a window that only counts, as the
// burst benchmark runs it beside tcpdump. Keeps a UDP port bound (and never
// read) so that the burst draws no ICMP errors. Runs until SIGINT or SIGTERM,
// then prints what the run received and what the kernel dropped.
//   bench-capture-burst LOG_DIRECTORY PORT [MESSAGES [SOURCE]]
// MESSAGES 0 keeps the message bytes out of the records and the log (the
// program's default, 1, keeps them). SOURCE "helper" (the default) captures
// through the capture helper as the program does; "direct" opens the
// capture in this process, as a reference.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/CaptureRun.h"
#include "platform/capture/PcapSource.h"

namespace {

class CCountingWindow final : public ICaptureWindow {
public:
    void SetByteRateText(const std::string&) override {}
    void SetPacketRateText(const std::string&) override {}
    void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord>) override {
        shown.store(shown.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    void ResetToIdle() override {}
    void ShowStartFailure(const std::string& text) override { std::fprintf(stderr, "start failure: %s\n", text.c_str()); }
    void PostStopCommand() override {}
    std::atomic<std::uint64_t> shown{0};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5 || (argc == 5 && std::strcmp(argv[4], "helper") != 0 &&
                                 std::strcmp(argv[4], "direct") != 0)) {
        std::fprintf(stderr, "usage: %s LOG_DIRECTORY PORT [MESSAGES [helper|direct]]\n", argv[0]);
        return 2;
    }
    // Every thread, the capture thread included, leaves the signals to sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    int sink = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (sink < 0 || bind(sink, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        std::perror("bind");
        return 1;
    }

    CPacketStore store;
    CCaptureLog log;
    log.SetDirectory(argv[1]);
    CFilterSetHolder filters;
    if (argc >= 4) {
        CFilterSet set;
        set.messages = std::atoi(argv[3]) != 0;
        filters.Publish(set);
    }
    CCountingWindow window;
    CaptureRunOptions options;
    if (argc == 5 && std::strcmp(argv[4], "direct") == 0)
        options.source = [] { return std::make_unique<CLiveCaptureSource>(); };
    CCaptureRun run(store, log, filters, &window, options);
    if (run.StartCaptureRun() != 0) return 1;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    run.StopCaptureRun();
    if (run.LastEnd() == CaptureRunEnd::StartFailed) return 1;
    const CaptureStatistics counters = run.Statistics();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("received %llu dropped %llu (kernel handed over %llu, interface dropped %llu, stored %zu; "
                "cpu %.2f s user %.2f s system, %ld page faults)\n",
                static_cast<unsigned long long>(window.shown.load()),
                static_cast<unsigned long long>(counters.kernelDropped),
                static_cast<unsigned long long>(counters.kernelReceived),
                static_cast<unsigned long long>(counters.interfaceDropped), store.Count(),
                double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6,
                double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6, usage.ru_minflt);
    close(sink);
    return 0;
}
