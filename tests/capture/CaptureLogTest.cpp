#include "capture/CaptureLog.h"
#include "capture/LogDirectory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/beep/Beep.h"
#include "tests/capture/CaptureTestSupport.h"

namespace {

constexpr std::time_t kSaturday = 1796508985;  // Sat, 05 Dec 2026 22:16:25 UTC
const std::string kStamp = "Sat, 05 Dec 2026 22:16:25";

struct CFakeClock : ILogClock {
    std::time_t calendar = kSaturday;
    std::time_t CalendarSeconds() override { return calendar; }
};

std::string Entry(const std::string& stamp, const std::string& text) { return "<" + stamp + ">\t" + text + "\r\n\r\n"; }
// Text for an entry of exactly `bytes` bytes: the stamp and line ends take 32.
std::string Filler(std::size_t bytes) { return std::string(bytes - 32, 'x'); }

// Runs of 32 letters x or more as "{x*N}".
std::string Compact(const std::string& text) {
    std::string compact;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t run = std::min(text.find_first_not_of('x', at), text.size()) - at;
        if (run >= 32)
            compact += "{x*" + std::to_string(run) + "}", at += run;
        else
            compact += text[at++];
    }
    return compact;
}

int beeps = 0;
unsigned beepHz = 0, beepMs = 0;

class CaptureLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        beeps = 0;
        previousBeep = SetBeepHandler([](unsigned hz, unsigned ms) { ++beeps, beepHz = hz, beepMs = ms; });
        log.SetDirectory(dir + "/Log");
    }
    void TearDown() override { SetBeepHandler(previousBeep); }
    void Write(const std::string& text) { log.WriteCaptureLog(text.data(), text.size()); }

    CTempDir temp;
    const std::string dir = temp.path;
    CFakeClock clock;
    CCaptureLog log{&clock};
    BeepHandler previousBeep = nullptr;
};

// Each file a run of writes leaves, byte for byte against golden/ (where
// "{x*N}" stands for N letters x): stamps in local time from the clock or
// the datagram, raw bytes, the rotation at exactly 262144 bytes with its
// note, and the suffixes of files begun in the same second.
// ORN_UPDATE_GOLDEN=1 rewrites the golden files instead.
TEST_F(CaptureLogTest, FilesMatchTheirGoldenCopies) {
    log.OpenCaptureLog();
    const char raw[] = {'I', 'P', '\0', '\r', '\n', '\xff', '\0'};
    log.WriteCaptureLog(raw, sizeof raw);
    Write("");
    // A datagram's own capture time; twelve months that fall on all seven days.
    for (std::time_t month : {1767225600, 1769904000, 1772323200, 1775001600, 1777593600, 1780272000, 1782864000,
                              1785542400, 1788220800, 1790812800, 1793491200, 1796083200})
        log.WriteCaptureLog("m", 1, month);
    // Entries of 16 KiB up to one byte short of the limit: the size test
    // must count what the buffer still holds.
    for (int i = 0; i < 15; ++i) Write(Filler(16384));
    Write(Filler(262143 - 467 - 15 * 16384));
    clock.calendar += 1;
    Write("still here");  // one more entry, then the file is full
    Write(Filler(262144));  // a file of exactly the limit
    Write("third");
    log.OpenCaptureLog();  // a new run in the same second
    Write("run 2");
    log.CloseCaptureLog();
    setenv("TZ", "XST-5:30", 1);  // UTC+05:30: Sunday morning
    tzset();
    CCaptureLog east(&clock);  // stamps are kept per second: a new log sees the new zone
    east.SetDirectory(dir + "/Log");
    east.OpenCaptureLog();
    east.WriteCaptureLog("east", 4);
    east.CloseCaptureLog();

    const std::string golden = ORN_LOG_GOLDEN_DIR;
    for (const std::string& name : FilesIn(dir + "/Log")) {
        const std::string compact = Compact(ReadFile(dir + "/Log/" + name));
        if (std::getenv("ORN_UPDATE_GOLDEN")) std::ofstream(golden + "/" + name, std::ios::binary) << compact;
        EXPECT_EQ(compact, ReadFile(golden + "/" + name)) << name;
    }
    EXPECT_EQ(FilesIn(dir + "/Log"), FilesIn(golden));
}

// Built into a private directory, so nothing on the system changes.
TEST_F(CaptureLogTest, StampsStayEnglishUnderAGermanLocale) {
    std::string locales = dir + "/locales";
    mkdir(locales.c_str(), 0755);
    if (std::system(("localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "localedef cannot build de_DE.UTF-8";
    setenv("LOCPATH", locales.c_str(), 1);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 does not load";
    log.OpenCaptureLog();
    Write("x");
    log.WriteCaptureLog("x", 1, 1775001600);
    log.CloseCaptureLog();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(ReadFile(log.FilePath()), Entry(kStamp, "x") + Entry("Wed, 01 Apr 2026 00:00:00", "x"));
}

TEST_F(CaptureLogTest, AFailedRotationBeepsOnceAndEndsTheLog) {
    log.OpenCaptureLog();
    Write(Filler(262144));
    // The directory moves away and a plain file takes its name.
    ASSERT_EQ(rename((dir + "/Log").c_str(), (dir + "/Moved").c_str()), 0);
    std::ofstream(dir + "/Log") << "not a directory";
    clock.calendar += 1;
    Write("lost");
    EXPECT_FALSE(log.IsOpen());
    Write("lost too");
    EXPECT_EQ(std::tie(beeps, beepHz, beepMs), std::make_tuple(1, 1000u, 1000u));
    EXPECT_EQ(ReadFile(dir + "/Moved/ORN_2026_12_05_22_16_25.log"), Entry(kStamp, Filler(262144)) +
                                                                      "\r\nCreating new log file at Sat, 05 Dec 2026 22:16:26");
}

TEST_F(CaptureLogTest, WithoutAUsableDirectoryThereIsNoLogAndNoHarm) {
    std::ofstream(dir + "/file") << "x";
    std::string deep = dir;  // longer than any path the system accepts: refused, never cut short
    while (deep.size() < 5000) deep += "/" + std::string(200, 'd');
    for (const std::string& where : {dir + "/file/Log", deep}) {
        log.SetDirectory(where);
        log.OpenCaptureLog();
        EXPECT_FALSE(log.IsOpen());
        Write("nothing");
        log.CloseCaptureLog();
    }
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"file"});
    EXPECT_EQ(beeps, 0);  // only a failed rotation beeps
}

// In a private mount namespace, so the small file system goes with the
// process even if the test dies.
TEST_F(CaptureLogTest, AFullDiskCutsTheFileBackToWholeEntriesAndLaterOnesFollowThem) {
    std::string small = dir + "/small";
    mkdir(small.c_str(), 0755);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    std::ofstream(small + "/filler") << std::string(16384, 'f');
    log.SetDirectory(small + "/Log");
    log.OpenCaptureLog();
    ASSERT_TRUE(log.IsOpen());
    // Ten entries per write, of a size that does not divide the disk's pages.
    const std::string entry = Entry(kStamp, Filler(1000));
    for (int i = 0; i < 200 && log.FailedWrites() == 0; ++i) {
        Write(Filler(1000));
        if (i % 10 == 9) log.Flush();
    }
    ASSERT_GT(log.FailedWrites(), 0u) << "the file system never filled";
    Write(std::string(70000, 'b'));  // too big for the buffer: written on its own, and cut back too
    log.Flush();
    const std::string full = ReadFile(log.FilePath());
    ASSERT_EQ(full.size() % entry.size(), 0u) << "a cut entry was left";
    EXPECT_GT(full.size() / entry.size(), 40u) << "the whole entries of the failed write went as well";
    for (std::size_t at = 0; at < full.size(); at += entry.size()) ASSERT_EQ(full.substr(at, entry.size()), entry);

    unlink((small + "/filler").c_str());
    Write("room again");
    log.CloseCaptureLog();
    EXPECT_EQ(ReadFile(log.FilePath()), full + Entry(kStamp, "room again"));
}

// The choice; the real program's log beside it is orn-end-to-end's.
TEST(LogDirectory, BesideAWritableProgramElseInTheUsersStateDirectory) {
    const struct {
        const char *exe, *state, *home;
        bool writable;
        std::string expected;
    } cases[] = {
        {"/src/build", "/s", "/h", true, "/src/build/Log"},
        {"/src/build", "/s", "/h", false, "/s/orn/Log"},
        {"/usr/bin", nullptr, "/root", true, "/root/.local/state/orn/Log"},  // root may write there
        {"/usr/bin", "state", "/home/u", false, "/home/u/.local/state/orn/Log"},
        {"", nullptr, nullptr, false, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLogDirectory(c.exe, c.writable, "/usr/bin", c.state, c.home), c.expected) << c.exe;
}

}  // namespace
