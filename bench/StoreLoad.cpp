// How long the window's start-up load of the filter set takes over store files
// that nobody would write by hand: many sibling keys, many values in the
// filters key, deep nesting, and files up to the read cap. Each file is
// generated here and loaded by LoadFilterSet in a child process of its own, so
// that a crash or a hang is reported as such. Prints the load time (wall clock,
// and the child's processor time, which other work on the machine does not
// inflate), the ratio against a plain read of the same bytes, and the child's
// peak memory.
//   bench-store-load [TIME_LIMIT_SECONDS]   (default 20)

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "filters/FilterSet.h"
#include "platform/registry/Registry.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kCap = 64u << 20;  // the store's read cap
const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kFilters = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n";

// Repeats line(i) until the text would pass limit or count lines were written.
std::string Lines(const std::string& head, std::size_t limit, std::size_t count,
                  const std::function<std::string(std::size_t)>& line) {
    std::string text = head;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string next = line(i);
        if (text.size() + next.size() > limit) break;
        text += next;
    }
    return text;
}

std::string Numbered(const char* format, std::size_t i) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, i);
    return buffer;
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CpuMilliseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Reads the file's bytes as the store would, for the reference figure.
double ReadMilliseconds(const std::string& path) {
    const Clock::time_point begin = Clock::now();
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    return Milliseconds(Clock::now() - begin);
}

// LoadFilterSet in a child (reading, parsing and releasing the tree): its time
// in ms, or a negative code for a crash (-1) or a hang past the limit (-2).
// cpu gets its processor time, maxRssKiB the child's peak memory.
double LoadInChild(const std::string& path, int limitSeconds, double& cpu, long& maxRssKiB) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        SetRegistryStorePath(path);
        CFilterSet set;
        const Clock::time_point begin = Clock::now();
        const double cpuBegin = CpuMilliseconds();
        LoadFilterSet(set);
        const double result[2] = {Milliseconds(Clock::now() - begin), CpuMilliseconds() - cpuBegin};
        if (::write(fds[1], result, sizeof result) != sizeof result) ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    double result[2] = {-1, 0};
    pollfd p{fds[0], POLLIN, 0};
    const bool answered = ::poll(&p, 1, limitSeconds * 1000) == 1 && ::read(fds[0], result, sizeof result) == sizeof result;
    ::close(fds[0]);
    if (!answered) ::kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    maxRssKiB = usage.ru_maxrss;
    cpu = result[1];
    if (answered) return result[0];
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? -2 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int limit = argc > 1 ? std::atoi(argv[1]) : 20;
    char pattern[] = "/tmp/orn-store-bench.XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::filesystem::path dir = pattern;

    const std::string ordinary = kHead + kFilters +
                                 "\"SrcAddrs\"=hex:0a,00,00,01,0a,00,00,02,0a,00,00,03,0a,00,00,04\r\n"
                                 "\"SrcPorts\"=hex:50,00,00,00,35,00,bb,01\r\n"
                                 "\"FullInfo\"=dword:00000000\r\n\"Messages\"=dword:00000001\r\n\r\n";
    const std::string deepSection = [] {
        std::string s = "[HKEY_LOCAL_MACHINE";
        for (int i = 0; i < 510; ++i) s += "\\a";
        return s + "]\r\n";
    }();
    const struct {
        const char* name;
        std::function<std::string()> make;
    } cases[] = {
        {"ordinary store (4 entries)", [&] { return ordinary; }},
        {"40,000 sibling keys", [&] {
             return Lines(ordinary, kCap, 40000, [](std::size_t i) {
                 return Numbered("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k%05zu]\r\n\r\n", i);
             });
         }},
        {"40,000 values in the filters key", [&] {
             return Lines(kHead + kFilters, kCap, 40000, [](std::size_t i) { return Numbered("\"v%05zu\"=dword:00000001\r\n", i); });
         }},
        {"1,000,000 nested keys", [] {
             std::string s = kHead + "[HKEY_LOCAL_MACHINE";
             for (int i = 0; i < 1000000; ++i) s += "\\a";
             return s + "]\r\n";
         }},
        {"64 MiB of sibling keys", [&] {
             return Lines(kHead, kCap, SIZE_MAX, [](std::size_t i) { return Numbered("[HKEY_LOCAL_MACHINE\\S\\%zx]\r\n", i); });
         }},
        {"64 MiB of values in the filters key", [&] {
             return Lines(kHead + kFilters, kCap, SIZE_MAX, [](std::size_t i) { return Numbered("\"%zx\"=hex:\r\n", i); });
         }},
        {"64 MiB in one wrapped value", [&] {
             std::string s = kHead + kFilters + "\"SrcAddrs\"=hex:00";
             while (s.size() + 80 < kCap) s += ",01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n  16";
             return s + "\r\n";
         }},
        {"64 MiB of comment lines", [&] { return Lines(kHead, kCap, SIZE_MAX, [](std::size_t) { return std::string(";\n"); }); }},
        {"64 MiB of 510-deep sections", [&] { return Lines(kHead, kCap, SIZE_MAX, [&](std::size_t) { return deepSection; }); }},
    };

    std::printf("%-38s %10s %10s %9s %9s %11s\n", "store file", "size", "load ms", "cpu ms", "x read", "peak RSS");
    for (const auto& c : cases) {
        const std::string path = (dir / "registry.reg").string();
        {
            const std::string text = c.make();
            std::ofstream(path, std::ios::binary) << text;
        }
        const double read = ReadMilliseconds(path);
        long rss = 0;
        double cpu = 0;
        const double ms = LoadInChild(path, limit, cpu, rss);
        const auto size = std::filesystem::file_size(path);
        if (ms >= 0)
            std::printf("%-38s %10ju %10.1f %9.1f %9.1f %8ld MiB\n", c.name, static_cast<std::uintmax_t>(size), ms,
                        cpu, ms / (read > 0.001 ? read : 0.001), rss / 1024);
        else
            std::printf("%-38s %10ju %10s %9s %9s %8ld MiB\n", c.name, static_cast<std::uintmax_t>(size),
                        ms == -2 ? ("> " + std::to_string(limit) + " s").c_str() : "crashed", "", "", rss / 1024);
        std::fflush(stdout);
        std::filesystem::remove(path);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
