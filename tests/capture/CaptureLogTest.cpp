#include "capture/CaptureLog.h"
#include "capture/LogDirectory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

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

std::string Repeat(const std::string& text, std::size_t times) {
    std::string all;
    while (times--) all += text;
    return all;
}

// A log output in memory with planted faults: at most `step` bytes taken per
// write (short writes), writes failing once `room` bytes are held, a cut back
// that fails while `cutFails`.
struct CFaultyOutput : ILogOutput {
    std::string bytes;
    std::size_t step = 1 << 30, room = SIZE_MAX;
    bool cutFails = false;
    long long Write(const LogPiece* pieces, int count, std::string& error) override {
        const std::size_t before = bytes.size();
        for (int i = 0; i < count; ++i)
            bytes.append(static_cast<const char*>(pieces[i].data),
                         std::min(pieces[i].length, std::min(room, before + step) - std::min(room, bytes.size())));
        error = "No space left on device";
        return bytes.size() > before ? static_cast<long long>(bytes.size() - before) : -1;
    }
    bool CutBack(std::uint64_t length, std::string& error) override {
        error = "Input/output error";
        if (!cutFails) bytes.resize(length);
        return !cutFails;
    }
};

int beeps = 0;
unsigned beepHz = 0, beepMs = 0;
std::vector<std::string> problems;

// In a private mount namespace, so what the test mounts goes with the
// process even if the test dies.
bool PrivateMounts() {
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}
struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
};

class CaptureLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        beeps = 0;
        previousBeep = SetBeepHandler([](unsigned hz, unsigned ms) { ++beeps, beepHz = hz, beepMs = ms; });
        problems.clear();
        previousProblem = SetLogProblemHandler([](const std::string& text) { problems.push_back(text); });
        log.SetDirectory(dir + "/Log");
    }
    void TearDown() override {
        SetBeepHandler(previousBeep);
        SetLogProblemHandler(previousProblem);
    }
    void Write(const std::string& text) { log.WriteCaptureLog(text.data(), text.size()); }

    CTempDir temp;
    const std::string dir = temp.path;
    CFakeClock clock;
    CCaptureLog log{&clock};
    BeepHandler previousBeep = nullptr;
    LogProblemHandler previousProblem = nullptr;
};

// Each file a run of writes leaves, byte for byte against golden/ (where
// "{x*N}" stands for N letters x): stamps in local time from the clock or
// the datagram, raw bytes, the rotation at exactly 262144 bytes with its
// note, the suffixes of files begun in the same second; and their modes.
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
    // Private: only their owner may read what was captured.
    struct stat file{}, folder{};
    stat(log.FilePath().c_str(), &file), stat((dir + "/Log").c_str(), &folder);
    EXPECT_EQ(std::make_pair(file.st_mode, folder.st_mode), std::make_pair(S_IFREG | 0600u, S_IFDIR | 0700u));
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

TEST_F(CaptureLogTest, AFailedRotationBeepsOnceAndTheNextSecondTriesAgain) {
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
    clock.calendar += 1;
    Write("lost again");  // tried again, said once
    EXPECT_EQ(problems, std::vector<std::string>{dir + "/Log: Not a directory"});
    unlink((dir + "/Log").c_str());
    clock.calendar += 1;
    Write("back");
    log.CloseCaptureLog();
    EXPECT_EQ(std::make_tuple(log.Unlogged(), log.Problem(), beeps, ReadFile(log.FilePath())),
              std::make_tuple(3u, std::string(), 1, Entry("Sat, 05 Dec 2026 22:16:28", "back")));
}

// Root writing where a user has a hand: whatever waits at the predictable
// names (a link to a secret, a hard link to it, a directory) is passed over
// unopened.
TEST_F(CaptureLogTest, PlantedNamesAreNeverOpened) {
    mkdir((dir + "/Log").c_str(), 0755);
    std::ofstream(dir + "/secret") << "root's key";
    const std::string name = dir + "/Log/ORN_2026_12_05_22_16_25";
    ASSERT_EQ(symlink((dir + "/secret").c_str(), (name + ".log").c_str()), 0);
    ASSERT_EQ(link((dir + "/secret").c_str(), (name + "_001.log").c_str()), 0);
    ASSERT_EQ(mkdir((name + "_002.log").c_str(), 0755), 0);
    log.OpenCaptureLog();
    Write("the user's key line");
    log.CloseCaptureLog();
    EXPECT_EQ(log.FilePath(), name + "_003.log");
    EXPECT_EQ(ReadFile(log.FilePath()), Entry(kStamp, "the user's key line"));
    EXPECT_EQ(ReadFile(dir + "/secret"), "root's key");
}

// No log, and no harm, where the directory is not a usable one of ours; each
// reason is said once, and every entry given is counted.
TEST_F(CaptureLogTest, AnUnusableDirectoryIsRefusedWithItsReason) {
    std::ofstream(dir + "/file") << "x";
    mkdir((dir + "/elsewhere").c_str(), 0700);
    symlink((dir + "/elsewhere").c_str(), (dir + "/link").c_str());
    mkdir((dir + "/theirs").c_str(), 0777);
    ASSERT_EQ(chown((dir + "/theirs").c_str(), 65534, 65534), 0);
    const std::string readOnly = dir + "/ro";
    mkdir(readOnly.c_str(), 0700);
    const bool mounted = PrivateMounts() && mount("tmpfs", readOnly.c_str(), "tmpfs", MS_RDONLY, nullptr) == 0;
    Unmount unmount{readOnly};
    const std::pair<std::string, std::string> cases[] = {
        {dir + "/file/Log", dir + "/file/Log: Not a directory"},
        {dir + "/link", dir + "/link: a symbolic link, not a directory"},
        {dir + "/theirs", dir + "/theirs: belongs to nobody (uid 65534), not to root (uid 0); logs go only to a "
                                "directory of your own"},
        {readOnly + "/Log", readOnly + "/Log: Read-only file system"},
    };
    for (const auto& [where, why] : cases) {
        if (where == readOnly + "/Log" && !mounted) continue;
        log.SetDirectory(where);
        log.OpenCaptureLog();
        Write("nothing"), Write("nothing again");
        EXPECT_EQ(log.Problem(), why);
    }
    EXPECT_EQ(problems.size(), std::size(cases) - !mounted);
    EXPECT_EQ(log.Unlogged(), 2 * problems.size());
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"elsewhere", "file", "link", "ro", "theirs"}));
    EXPECT_TRUE(FilesIn(dir + "/elsewhere").empty() && FilesIn(dir + "/theirs").empty());
    EXPECT_EQ(beeps, 0);  // only a failed rotation beeps
}

// Faults planted in the output: short writes, and a full disk that stops a
// write one byte before, exactly at and one byte past an entry's end; then
// room again. The cut entry goes, whole ones stay, and later entries follow
// them; while the cut itself fails nothing more is written.
TEST_F(CaptureLogTest, FailedAndShortWritesKeepWholeEntriesAndCountTheRest) {
    const std::string e = Entry(kStamp, "0123456789"), big(70000, 'b');
    for (std::size_t stop : {3 * e.size() - 1, 3 * e.size(), 3 * e.size() + 1}) {
        auto* out = new CFaultyOutput;
        out->step = 5, out->room = stop;
        problems.clear();
        CCaptureLog faulty(&clock);
        faulty.OpenCaptureLogOutput(std::unique_ptr<ILogOutput>(out));
        const auto write = [&](const std::string& text) { faulty.WriteCaptureLog(text.data(), text.size()); };
        for (int i = 0; i < 5; ++i) write("0123456789");
        faulty.Flush();
        const std::size_t whole = stop / e.size();
        EXPECT_EQ(std::make_tuple(out->bytes, faulty.Unlogged()), std::make_tuple(Repeat(e, whole), 5 - whole));
        write(big);  // past the buffer: on its own, and cut back too
        out->room = SIZE_MAX;
        write(big);
        write("after");
        faulty.Flush();
        EXPECT_EQ(out->bytes, Repeat(e, whole) + Entry(kStamp, big) + Entry(kStamp, "after")) << stop;
        EXPECT_EQ(std::make_tuple(faulty.Unlogged(), faulty.FailedWrites()), std::make_tuple(6 - whole, 2u));
        EXPECT_EQ(problems, std::vector<std::string>{"output: No space left on device"});

        out->room = out->bytes.size() + e.size() + 3, out->cutFails = true;
        write("0123456789"), write("0123456789"), faulty.Flush();
        out->room = SIZE_MAX;
        write("while the cut fails"), faulty.Flush();
        const std::string kept = out->bytes.substr(0, out->bytes.size() - 3);
        out->cutFails = false;
        write("cut"), faulty.Flush();
        EXPECT_EQ(std::make_tuple(out->bytes, faulty.Unlogged()), std::make_tuple(kept + Entry(kStamp, "cut"), 8 - whole));
    }
}

// Standard output may be a non-blocking pipe that a slow reader empties: the
// log waits for room rather than losing entries.
TEST_F(CaptureLogTest, ASlowNonBlockingStreamGetsEveryEntry) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK), 0);
    fcntl(ends[0], F_SETFL, 0);
    std::string got;
    std::thread reader([&] {
        char chunk[4096];
        for (ssize_t n; (n = read(ends[0], chunk, sizeof chunk)) > 0; got.append(chunk, std::size_t(n)))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    });
    log.OpenCaptureLogStream(ends[1]);
    for (int i = 0; i < 100; ++i) Write(Filler(2000));
    log.CloseCaptureLog();
    close(ends[1]);
    reader.join();
    close(ends[0]);
    EXPECT_EQ(std::make_tuple(got == Repeat(Entry(kStamp, Filler(2000)), 100), log.FailedWrites()), std::make_tuple(true, 0u));
}

TEST_F(CaptureLogTest, AFullDiskCutsTheFileBackToWholeEntriesAndLaterOnesFollowThem) {
    std::string small = dir + "/small";
    mkdir(small.c_str(), 0755);
    if (!PrivateMounts() || mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    Unmount unmount{small};
    std::ofstream(small + "/filler") << std::string(16384, 'f');
    log.SetDirectory(small + "/Log");
    log.OpenCaptureLog();
    ASSERT_TRUE(log.IsOpen());
    // Ten entries per write, of a size that does not divide the disk's pages.
    const std::string entry = Entry(kStamp, Filler(1000));
    int given = 0;
    for (; given < 200 && log.FailedWrites() == 0; ++given) {
        Write(Filler(1000));
        if (given % 10 == 9) log.Flush();
    }
    ASSERT_GT(log.FailedWrites(), 0u) << "the file system never filled";
    Write(std::string(70000, 'b'));  // too big for the buffer: written on its own, and cut back too
    log.Flush();
    const std::string full = ReadFile(log.FilePath());
    ASSERT_EQ(full.size() % entry.size(), 0u) << "a cut entry was left";
    EXPECT_GT(full.size() / entry.size(), 40u) << "the whole entries of the failed write went as well";
    for (std::size_t at = 0; at < full.size(); at += entry.size()) ASSERT_EQ(full.substr(at, entry.size()), entry);
    EXPECT_EQ(log.Unlogged(), given + 1 - full.size() / entry.size());
    EXPECT_EQ(problems, std::vector<std::string>{log.FilePath() + ": No space left on device"});

    unlink((small + "/filler").c_str());
    Write("room again");
    log.CloseCaptureLog();
    EXPECT_EQ(ReadFile(log.FilePath()), full + Entry(kStamp, "room again"));
}

// The choice; the real program's log beside it is orn-end-to-end's.
TEST(LogDirectory, BesideAProgramOfOursElseInTheUsersStateDirectoryAndUnderSudoInRoots) {
    const struct {
        const char *exe, *state, *home, *account;
        bool ours, others;
        std::string expected;
    } cases[] = {
        {"/src/build", "/s", "/h", "/h", true, false, "/src/build/Log"},
        {"/src/build", "/s", "/h", "/h", false, false, "/s/orn/Log"},  // a build tree of another user
        {"/usr/bin", nullptr, "/root", "/root", true, false, "/root/.local/state/orn/Log"},  // root may write there
        {"/usr/bin", "state", "/home/u", "/home/u", false, false, "/home/u/.local/state/orn/Log"},
        {"/usr/bin", "/home/u/.st", "/home/u", "/root", false, true, "/root/.local/state/orn/Log"},  // sudo -E
        {"", nullptr, nullptr, "/home/u", false, false, "/home/u/.local/state/orn/Log"},
        {"", nullptr, "home", "/home/u", false, false, ""},
        {"", nullptr, nullptr, "", false, false, ""},
    };
    for (const auto& c : cases) {
        const LogPlaceFacts facts{c.exe, c.ours, c.state, c.home, c.account, c.others, {}};
        const LogPlace place = ChooseLogDirectory(facts, "/usr/bin");
        EXPECT_EQ(place.directory, c.expected) << c.exe << " " << c.home;
        EXPECT_EQ(place.why.empty(), !c.expected.empty()) << c.exe << " " << c.home;
    }

    // Root with the environment of a user whose home is theirs.
    CTempDir home;
    ASSERT_EQ(chown(home.path.c_str(), 65534, 65534), 0);
    const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.path.c_str(), 1);
    const bool others = GatherLogPlaceFacts().environmentOfOthers;
    setenv("HOME", "/", 1);
    EXPECT_EQ(std::make_pair(others, GatherLogPlaceFacts().environmentOfOthers), std::make_pair(true, false));
    setenv("HOME", saved.c_str(), 1);
}

}  // namespace
