#include "capture/CaptureLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/beep/Beep.h"

namespace {

// Sat, 05 Dec 2026 22:16:25 UTC.
constexpr std::time_t kSaturday = 1796508985;

class CFakeClock : public ILogClock {
public:
    std::time_t calendar = kSaturday;
    std::int64_t steady = 0;
    std::time_t CalendarSeconds() override { return calendar; }
    std::int64_t SteadyMilliseconds() override { return steady; }
};

void UseTimeZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

class CTempDir {
public:
    CTempDir() {
        char pattern[] = "/tmp/orn-log-test.XXXXXX";
        path = mkdtemp(pattern);
    }
    ~CTempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Entry(const std::string& stamp, const std::string& text) {
    return "<" + stamp + ">\t" + text + "\r\n\r\n";
}

// A text that makes an entry of exactly `entryBytes` bytes (stamps are 28).
std::string TextForEntry(std::size_t entryBytes) { return std::string(entryBytes - 32, 'x'); }

std::atomic<int> beeps{0};
std::atomic<unsigned> beepHz{0}, beepMs{0};
void CountBeep(unsigned hz, unsigned ms) {
    ++beeps;
    beepHz = hz;
    beepMs = ms;
}

class CaptureLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseTimeZone("UTC0");
        beeps = 0;
        previousBeep = SetBeepHandler(CountBeep);
        log.SetDirectory(dir.path + "/Log");
    }
    void TearDown() override { SetBeepHandler(previousBeep); }

    std::string LogPath(const std::string& name) { return dir.path + "/Log/" + name; }

    CTempDir dir;
    CFakeClock clock;
    CCaptureLog log{&clock};
    BeepHandler previousBeep = nullptr;
};

TEST_F(CaptureLogTest, NamesFilesByLocalTimeAndFormatsEntries) {
    log.OpenCaptureLog();
    ASSERT_TRUE(log.IsOpen());
    EXPECT_EQ(log.FilePath(), LogPath("ORN_2026_12_05_22_16_25.log"));
    log.WriteCaptureLog("IP HEADER\t", 10);
    clock.calendar += 1;
    log.WriteCaptureLog("second", 6);
    log.WriteCaptureLog("third", 5, kSaturday - 3600);  // a datagram's own time
    log.CloseCaptureLog();
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_25.log")),
              Entry("Sat, 05 Dec 2026 22:16:25", "IP HEADER\t") +
                  Entry("Sat, 05 Dec 2026 22:16:26", "second") +
                  Entry("Sat, 05 Dec 2026 21:16:25", "third"));

    // Local time, not UTC: 03:46:25 on Sunday at UTC+05:30.
    UseTimeZone("XST-5:30");
    CCaptureLog local(&clock);
    local.SetDirectory(dir.path + "/Log");
    local.OpenCaptureLog(kSaturday);
    local.WriteCaptureLog("", 0, kSaturday);
    local.CloseCaptureLog();
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_06_03_46_25.log")),
              Entry("Sun, 06 Dec 2026 03:46:25", ""));
}

TEST_F(CaptureLogTest, EntriesKeepRawBytesZerosIncluded) {
    const char raw[] = {'I', 'P', '\0', '\r', '\n', '\xff', '\0', '\x80', '\0'};
    log.OpenCaptureLog();
    log.WriteCaptureLog(raw, sizeof raw);
    log.WriteCaptureLog(raw, 0);
    log.CloseCaptureLog();
    std::string expected = "<Sat, 05 Dec 2026 22:16:25>\t" + std::string(raw, sizeof raw) +
                           "\r\n\r\n" + "<Sat, 05 Dec 2026 22:16:25>\t\r\n\r\n";
    EXPECT_EQ(ReadFile(log.FilePath()), expected);
}

TEST_F(CaptureLogTest, EveryDayAndMonthHasItsEnglishName) {
    const std::pair<std::time_t, const char*> stamps[] = {
        {1767225600, "Thu, 01 Jan 2026 00:00:00"}, {1769904000, "Sun, 01 Feb 2026 00:00:00"},
        {1772323200, "Sun, 01 Mar 2026 00:00:00"}, {1775001600, "Wed, 01 Apr 2026 00:00:00"},
        {1777593600, "Fri, 01 May 2026 00:00:00"}, {1780272000, "Mon, 01 Jun 2026 00:00:00"},
        {1782864000, "Wed, 01 Jul 2026 00:00:00"}, {1785542400, "Sat, 01 Aug 2026 00:00:00"},
        {1788220800, "Tue, 01 Sep 2026 00:00:00"}, {1790812800, "Thu, 01 Oct 2026 00:00:00"},
        {1793491200, "Sun, 01 Nov 2026 00:00:00"}, {1796083200, "Tue, 01 Dec 2026 00:00:00"},
        {1796547903, "Sun, 06 Dec 2026 09:05:03"}, {1796634303, "Mon, 07 Dec 2026 09:05:03"},
        {1796720703, "Tue, 08 Dec 2026 09:05:03"}, {1796807103, "Wed, 09 Dec 2026 09:05:03"},
        {1796893503, "Thu, 10 Dec 2026 09:05:03"}, {1796979903, "Fri, 11 Dec 2026 09:05:03"},
        {1797066303, "Sat, 12 Dec 2026 09:05:03"},
    };
    log.OpenCaptureLog();
    std::string expected;
    for (const auto& [when, text] : stamps) {
        log.WriteCaptureLog("m", 1, when);
        expected += Entry(text, "m");
    }
    log.CloseCaptureLog();
    EXPECT_EQ(ReadFile(log.FilePath()), expected);
}

// A locale with other day and month names must not reach the stamps. The
// locale is built into a private directory, so nothing on the system changes.
TEST_F(CaptureLogTest, StampsStayEnglishUnderAGermanLocale) {
    std::string locales = dir.path + "/locales";
    mkdir(locales.c_str(), 0755);
    std::string command = "localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot build de_DE.UTF-8";
    setenv("LOCPATH", locales.c_str(), 1);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 does not load";
    std::tm tm{};
    time_t when = kSaturday;
    gmtime_r(&when, &tm);
    char german[64];
    std::strftime(german, sizeof german, "%a, %d %b", &tm);
    EXPECT_STREQ(german, "Sa, 05 Dez");  // the locale is really in force

    log.OpenCaptureLog();
    log.WriteCaptureLog("x", 1);
    log.WriteCaptureLog("x", 1, 1775001600);
    log.CloseCaptureLog();
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(ReadFile(log.FilePath()),
              Entry("Sat, 05 Dec 2026 22:16:25", "x") + Entry("Wed, 01 Apr 2026 00:00:00", "x"));
}

// Entries of 1024 bytes, buffered: the size test must count what has not
// reached the file yet.
TEST_F(CaptureLogTest, RotatesOnlyOnceTheFileHasReachedTheLimit) {
    const std::string kilobyte = TextForEntry(1024);
    log.OpenCaptureLog();
    for (int i = 0; i < 255; ++i) log.WriteCaptureLog(kilobyte.data(), kilobyte.size());
    std::string last = TextForEntry(1023);
    log.WriteCaptureLog(last.data(), last.size());  // 262143 bytes now
    clock.calendar += 1;
    log.WriteCaptureLog("still here", 10);
    log.WriteCaptureLog("next file", 9);  // the file is over the limit: rotate
    log.CloseCaptureLog();

    ASSERT_EQ(FilesIn(dir.path + "/Log"),
              (std::vector<std::string>{"ORN_2026_12_05_22_16_25.log", "ORN_2026_12_05_22_16_26.log"}));
    std::string full = ReadFile(LogPath("ORN_2026_12_05_22_16_25.log"));
    std::string tail = Entry("Sat, 05 Dec 2026 22:16:26", "still here") +
                       "\r\nCreating new log file at Sat, 05 Dec 2026 22:16:26";
    EXPECT_EQ(full.size(), 262143 + tail.size());
    ASSERT_GE(full.size(), tail.size());
    EXPECT_EQ(full.substr(full.size() - tail.size()), tail);
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_26.log")),
              Entry("Sat, 05 Dec 2026 22:16:26", "next file"));
}

TEST_F(CaptureLogTest, AFileOfExactlyTheLimitTakesNoFurtherEntry) {
    std::string big = TextForEntry(262144);  // larger than any buffer: written at once
    log.OpenCaptureLog();
    log.WriteCaptureLog(big.data(), big.size());
    clock.calendar += 2;
    log.WriteCaptureLog("after", 5);
    log.CloseCaptureLog();
    std::string full = ReadFile(LogPath("ORN_2026_12_05_22_16_25.log"));
    EXPECT_EQ(full, Entry("Sat, 05 Dec 2026 22:16:25", big) +
                        "\r\nCreating new log file at Sat, 05 Dec 2026 22:16:27");
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_27.log")),
              Entry("Sat, 05 Dec 2026 22:16:27", "after"));
}

TEST_F(CaptureLogTest, RotationsAndRunsInOneSecondKeepEveryFile) {
    std::string big = TextForEntry(262144);
    log.OpenCaptureLog();
    log.WriteCaptureLog(big.data(), big.size());
    log.WriteCaptureLog(big.data(), big.size());  // rotates into a second file, same second
    log.WriteCaptureLog("third", 5);              // and into a third
    log.CloseCaptureLog();
    log.OpenCaptureLog();                         // a new run, still the same second
    log.WriteCaptureLog("run 2", 5);
    log.CloseCaptureLog();

    const std::string note = "\r\nCreating new log file at Sat, 05 Dec 2026 22:16:25";
    const std::string first = Entry("Sat, 05 Dec 2026 22:16:25", big) + note;
    ASSERT_EQ(FilesIn(dir.path + "/Log"),
              (std::vector<std::string>{"ORN_2026_12_05_22_16_25.log", "ORN_2026_12_05_22_16_25_001.log",
                                        "ORN_2026_12_05_22_16_25_002.log",
                                        "ORN_2026_12_05_22_16_25_003.log"}));
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_25.log")), first);
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_25_001.log")), first);
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_25_002.log")),
              Entry("Sat, 05 Dec 2026 22:16:25", "third"));
    EXPECT_EQ(ReadFile(LogPath("ORN_2026_12_05_22_16_25_003.log")),
              Entry("Sat, 05 Dec 2026 22:16:25", "run 2"));
}

TEST_F(CaptureLogTest, AFailedRotationBeepsOnceAndEndsTheLog) {
    std::string big = TextForEntry(262144);
    log.OpenCaptureLog();
    log.WriteCaptureLog(big.data(), big.size());
    // The directory goes away and a plain file takes its name: no new file can be made.
    std::string moved = dir.path + "/Moved";
    ASSERT_EQ(rename((dir.path + "/Log").c_str(), moved.c_str()), 0);
    std::ofstream(dir.path + "/Log") << "not a directory";
    clock.calendar += 1;
    log.WriteCaptureLog("lost", 4);
    EXPECT_FALSE(log.IsOpen());
    log.WriteCaptureLog("lost too", 8);
    log.CloseCaptureLog();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(beepHz, 1000u);
    EXPECT_EQ(beepMs, 1000u);
    EXPECT_EQ(ReadFile(moved + "/ORN_2026_12_05_22_16_25.log"),
              Entry("Sat, 05 Dec 2026 22:16:25", big) +
                  "\r\nCreating new log file at Sat, 05 Dec 2026 22:16:26");
}

TEST_F(CaptureLogTest, AnUnusableDirectoryMeansNoLogAndNoHarm) {
    std::ofstream(dir.path + "/file") << "x";
    log.SetDirectory(dir.path + "/file/Log");
    log.OpenCaptureLog();
    EXPECT_FALSE(log.IsOpen());
    log.WriteCaptureLog("nothing", 7);
    log.FlushIfDue();
    log.CloseCaptureLog();
    EXPECT_EQ(beeps, 0);  // only a failed rotation beeps

    // Longer than any path the system accepts: refused, never cut short.
    std::string deep = dir.path;
    while (deep.size() < 5000) deep += "/" + std::string(200, 'd');
    log.SetDirectory(deep);
    log.OpenCaptureLog();
    EXPECT_FALSE(log.IsOpen());
    log.WriteCaptureLog("nothing", 7);
    EXPECT_EQ(FilesIn(dir.path), std::vector<std::string>{"file"});
}

TEST_F(CaptureLogTest, TheDefaultDirectoryIsLogBesideTheExecutable) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string logDir = std::string(exe, static_cast<std::size_t>(n));
    logDir = logDir.substr(0, logDir.rfind('/')) + "/Log";
    bool existed = Exists(logDir);

    clock.calendar = 946684800;  // a second no real run of the program used
    CCaptureLog beside(&clock);
    beside.OpenCaptureLog();
    ASSERT_TRUE(beside.IsOpen());
    EXPECT_EQ(beside.FilePath(), logDir + "/ORN_2000_01_01_00_00_00.log");
    beside.CloseCaptureLog();
    unlink(beside.FilePath().c_str());
    if (!existed) rmdir(logDir.c_str());
}

TEST_F(CaptureLogTest, EntriesReachTheFileWithinTheFlushBound) {
    log.OpenCaptureLog();
    const std::string path = log.FilePath();
    const std::string one = Entry("Sat, 05 Dec 2026 22:16:25", "one");
    log.WriteCaptureLog("one", 3);
    clock.steady += 100;
    log.FlushIfDue();  // a receive loop's idle pass
    EXPECT_EQ(ReadFile(path), one);

    // A later entry carries an overdue one out without any idle pass.
    log.WriteCaptureLog("two", 3);
    clock.steady += 100;
    log.WriteCaptureLog("three", 5);
    EXPECT_EQ(ReadFile(path).substr(0, 2 * one.size()), one + Entry("Sat, 05 Dec 2026 22:16:25", "two"));

    // Whatever is left goes out at close, and at destruction.
    log.CloseCaptureLog();
    EXPECT_EQ(ReadFile(path), one + Entry("Sat, 05 Dec 2026 22:16:25", "two") +
                                  Entry("Sat, 05 Dec 2026 22:16:25", "three"));
    std::string other;
    {
        CCaptureLog scoped(&clock);
        scoped.SetDirectory(dir.path + "/Other");
        scoped.OpenCaptureLog();
        scoped.WriteCaptureLog("kept", 4);
        other = scoped.FilePath();
    }
    EXPECT_EQ(ReadFile(other), Entry("Sat, 05 Dec 2026 22:16:25", "kept"));
}

TEST_F(CaptureLogTest, FlushBoundHoldsWithTheSystemClock) {
    CCaptureLog real;
    real.SetDirectory(dir.path + "/Real");
    real.OpenCaptureLog();
    real.WriteCaptureLog("live", 4);
    usleep(120 * 1000);
    real.FlushIfDue();
    EXPECT_NE(ReadFile(real.FilePath()).find("\tlive\r\n\r\n"), std::string::npos);
}

TEST_F(CaptureLogTest, AStreamTakesEveryEntryWithoutRotation) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    fcntl(fds[0], F_SETPIPE_SZ, 1 << 20);
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    std::string big = TextForEntry(200000);
    log.OpenCaptureLogStream(fds[1]);
    log.WriteCaptureLog(big.data(), big.size());
    log.WriteCaptureLog(big.data(), big.size());
    log.WriteCaptureLog("end", 3);
    log.CloseCaptureLog();
    ASSERT_EQ(write(fds[1], "!", 1), 1);  // the stream stays open
    close(fds[1]);
    std::string got;
    char chunk[65536];
    ssize_t n;
    while ((n = read(fds[0], chunk, sizeof chunk)) > 0) got.append(chunk, static_cast<std::size_t>(n));
    close(fds[0]);
    EXPECT_EQ(got, Entry("Sat, 05 Dec 2026 22:16:25", big) + Entry("Sat, 05 Dec 2026 22:16:25", big) +
                       Entry("Sat, 05 Dec 2026 22:16:25", "end") + "!");
    EXPECT_FALSE(Exists(dir.path + "/Log"));
}

// A full disk loses entries quietly; once there is room again, later entries
// are written. Runs in a private mount namespace, so the small file system
// disappears with the process even if the test dies.
TEST_F(CaptureLogTest, AFullDiskLosesEntriesButLaterOnesAreWritten) {
    if (unshare(CLONE_NEWNS) != 0) GTEST_SKIP() << "no private mount namespace: " << std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "cannot make mounts private: " << std::strerror(errno);
    std::string small = dir.path + "/small";
    mkdir(small.c_str(), 0755);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};

    std::string filler = small + "/filler";
    std::ofstream(filler) << std::string(16 * 1024, 'f');

    log.SetDirectory(small + "/Log");
    log.OpenCaptureLog();
    ASSERT_TRUE(log.IsOpen());
    const std::string text = TextForEntry(1024);
    int written = 0;
    while (log.FailedWrites() == 0 && written < 200) {
        log.WriteCaptureLog(text.data(), text.size());
        log.Flush();
        ++written;
    }
    ASSERT_GT(log.FailedWrites(), 0u) << "the file system never filled";
    log.WriteCaptureLog(text.data(), text.size());  // lost as well
    log.Flush();
    std::size_t before = ReadFile(log.FilePath()).size();
    EXPECT_LT(before, static_cast<std::size_t>(written) * 1024);

    unlink(filler.c_str());
    log.WriteCaptureLog("room again", 10);
    log.CloseCaptureLog();
    std::string after = ReadFile(log.FilePath());
    const std::string last = Entry("Sat, 05 Dec 2026 22:16:25", "room again");
    ASSERT_EQ(after.size(), before + last.size());
    EXPECT_EQ(after.substr(before), last);
    EXPECT_EQ(after.substr(0, 1024), Entry("Sat, 05 Dec 2026 22:16:25", text));
}

}  // namespace
