#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <functional>
#include <tuple>
#include <thread>

#include "tests/platform/registry/RegistryTestSupport.h"

namespace {

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";
constexpr uid_t kNobody = 65534;  // with its group, nogroup: one root is not a member of
constexpr gid_t kNogroup = 65534;
constexpr uid_t kStranger = 54321;  // a user of no group at all

std::size_t FilesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// The copies of damaged stores set aside in dir.
std::vector<std::filesystem::path> KeptAside(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().starts_with("registry.reg.damaged-")) kept.push_back(entry.path());
    return kept;
}

const std::string kOne("\x01\0\0\0", 4), kZero(4, '\0');

// link() of this file finds a link to the target in its place and the link
// limit reached: what inotify and 65,000 hard links bring about on ext4.
std::filesystem::path linkSwapFrom, linkSwapTo;

}  // namespace

extern "C" int link(const char* from, const char* to) {
    if (!linkSwapFrom.empty() && linkSwapFrom == from) {
        std::filesystem::remove(from);
        std::filesystem::create_symlink(linkSwapTo, from);
        errno = EMLINK;
        return -1;
    }
    return ::linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

TEST_F(RegistryStoreTest, ValuesKeepTypeAndBytesAcrossSessions) {
    // The first save also makes the store's directories.
    file = dir / "var" / "lib" / "orn" / "registry.reg";
    SetRegistryStorePath(file.string());
    const struct {
        const char* name;
        std::uint32_t type;
        std::string bytes;
    } values[] = {{"SrcAddrs", REG_BINARY, std::string("\x0a\0\0\x05", 4)}, {"Odd", REG_DWORD, "\x01\x02\x03"},
                  {"Big", REG_BINARY, std::string(300, '\x5a')}, {"", 0x12345678, ""},
                  {"Text \"q\" \\", REG_SZ, std::string("C:\\x \"y\"\0", 10)}};
    HKEY key = CreateOrn();
    ASSERT_NE(key, HKEY{});
    for (const auto& v : values) EXPECT_EQ(Put(key, v.name, v.type, v.bytes), ERROR_SUCCESS) << v.name;
    EXPECT_EQ(Put(key, "Gone", REG_BINARY, "x"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "gone"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Gone"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "others could not read the store";

    for (const auto& v : values)
        EXPECT_EQ(Get(kOrnKey, *v.name ? v.name : nullptr), std::make_pair(v.type, v.bytes)) << v.name;
    EXPECT_EQ(Get(kOrnKey, "Gone").first, kMissing);
    // Paths match in any case and keep the case they were made with.
    EXPECT_EQ(Get("system\\currentcontrolset\\SERVICES\\Tarnwhelm\\orn", "Big").first, REG_BINARY);
    EXPECT_NE(ReadBytes(file).find("\\tarnwhelm\\ORN]\r\n"), std::string::npos);
}

TEST_F(RegistryStoreTest, CallsAnswerAsTheSystemLibraryDoes) {
    HKEY key = CreateOrn(), other{};
    std::uint32_t size = 0;
    Put(key, "V", REG_BINARY, "abcdef");
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    std::uint8_t small[4] = {1, 2, 3, 4};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(small[0], 1) << "a short buffer was written";
    EXPECT_EQ(RegQueryValueExA(key, "W", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(key, "Missing", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\\\Services", 0, KEY_READ, &other), ERROR_BAD_PATHNAME);
    // Names and depths that the file could not read back are refused.
    EXPECT_EQ(RegCreateKeyExA(key, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_READ, nullptr, &other, nullptr),
              ERROR_INVALID_PARAMETER);
    std::string deep = "k";
    for (int i = 0; i < 506; ++i) deep += "\\k";  // 507 below the filters key's 6
    EXPECT_EQ(RegCreateKeyExA(key, deep.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &other, nullptr),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_READ, &other), ERROR_SUCCESS);
    EXPECT_EQ(Put(other, "V", REG_BINARY, "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(other), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(other), ERROR_INVALID_HANDLE);
    RegCloseKey(key);
}

TEST_F(RegistryStoreTest, SaveWaitsForAnotherProcessAndKeepsWhatItSaved) {
    // A session reads the file; another process's save then holds the lock
    // and replaces the file before this session's save may run.
    WriteBytes(file, Golden("hand-written.reg"));
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        HKEY key = CreateOrn();
        Put(key, "FullInfo", REG_DWORD, kOne);
        char c = 'r';
        if (::write(ready[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1) ::_exit(2);
        ::_exit(RegCloseKey(key) == ERROR_SUCCESS ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    const int lock = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    ASSERT_EQ(::write(go[1], &c, 1), 1);
    // A save that did not wait for the lock would be done by now, and lost
    // under the other process's file.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    WriteBytes(dir / "other", Golden("other-save.reg"));
    std::filesystem::rename(dir / "other", file);
    ::close(lock);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(file), Golden("merged.reg"));
    EXPECT_EQ(FilesIn(dir), 1u) << "a lock, temporary or set-aside file was left beside the store";
}

// damaged.reg: a byte of one digit, a dword of seven, a string without its
// end, garbage, a broken section with a value of its own, and a last line cut
// short; what is left reads and saves as damaged-saved.reg.
TEST_F(RegistryStoreTest, DamagedFileLoadsWhatItCanAndIsKeptAside) {
    const std::string damaged = Golden("damaged.reg");
    WriteBytes(file, damaged);

    EXPECT_EQ(Get(kOrnKey, "SrcAddrs").second, std::string("\x0a\0\0\x05", 4));
    EXPECT_EQ(Get(kOrnKey, "Messages").second, std::string(4, '\0'));
    for (const char* lost : {"SrcPorts", "FullInfo", "Text", "Stray", "DestAddrs"})
        EXPECT_EQ(Get(kOrnKey, lost).first, kMissing) << lost;
    EXPECT_EQ(ReadBytes(file), damaged) << "reading changed the file";

    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    ASSERT_EQ(KeptAside(dir).size(), 1u);
    EXPECT_EQ(ReadBytes(KeptAside(dir)[0]), damaged);
    EXPECT_EQ(ReadBytes(file), Golden("damaged-saved.reg"));

    // The clean file is not set aside again; another damaged one is, under a
    // name nothing has taken (files wait under those of the next seconds).
    PutOrn("FullInfo", REG_DWORD, kZero);
    EXPECT_EQ(KeptAside(dir).size(), 1u);
    WriteBytes(file, damaged + "\r\nmore garbage\r\n");
    RegCloseKey(CreateOrn());
    EXPECT_EQ(KeptAside(dir).size(), 1u) << "a session without changes wrote the file";
    std::vector<std::filesystem::path> taken;
    for (std::time_t second = std::time(nullptr), last = second + 2; second <= last; ++second) {
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "registry.reg.damaged-%Y%m%d-%H%M%S", std::localtime(&second));
        if (!std::filesystem::exists(dir / stamp)) WriteBytes(taken.emplace_back(dir / stamp), "taken");
    }
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kZero), ERROR_SUCCESS);
    EXPECT_EQ(KeptAside(dir).size(), 2u + taken.size());
    for (const auto& name : taken) EXPECT_EQ(ReadBytes(name), "taken") << name;
}

TEST_F(RegistryStoreTest, MembersCannotMakeRootsSaveGiveAwayItsFiles) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become a member";
    ASSERT_EQ(::chown(dir.c_str(), 0, kNogroup), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 02775), 0);
    // Root's file that no member may read, linked in by a member where saves
    // once kept their lock; and a damaged store the member made.
    const std::filesystem::path secret = dir / "root-only";
    WriteBytes(secret, "root's secret");
    ASSERT_EQ(::chown(secret.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(secret.c_str(), 0640), 0);
    ASSERT_EQ(::link(secret.c_str(), (dir / "registry.reg.lock").c_str()), 0);
    const std::string damaged = Golden("damaged.reg");
    WriteBytes(file, damaged);
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNogroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    linkSwapFrom = file;
    linkSwapTo = secret;
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    linkSwapFrom.clear();
    ASSERT_EQ(KeptAside(dir).size(), 1u);
    EXPECT_EQ(ReadBytes(KeptAside(dir)[0]), damaged);
    auto owners = [](const std::filesystem::path& path) {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return std::make_tuple(st.st_uid, st.st_gid, st.st_mode, st.st_nlink);
    };
    EXPECT_EQ(owners(KeptAside(dir)[0]), std::make_tuple(0u, kNogroup, S_IFREG | 0640u, nlink_t{1}));
    EXPECT_EQ(owners(secret), std::make_tuple(0u, 0u, S_IFREG | 0640u, nlink_t{2}));
    EXPECT_EQ(ReadBytes(secret), "root's secret");
    EXPECT_EQ(FilesIn(dir), 4u);
}

TEST_F(RegistryStoreTest, HostileStoreFilesNeitherBlockNorCrashNorAreWrittenOver) {
    const std::string good = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(kOrnKey) +
                             "]\r\n\"FullInfo\"=dword:00000001\r\n";
    std::string deep = "[HKEY_LOCAL_MACHINE", keys;
    for (int i = 0; i < 1000000; ++i) deep += "\\a";
    for (int i = 0; i < 40000; ++i) keys += "[HKEY_LOCAL_MACHINE\\" + std::string(kServices) + "\\k" + std::to_string(i) + "]\r\n";
    const struct {
        const char* what;
        std::function<bool()> make;  // false: cannot be made here
        std::int32_t open;           // opening the filters key for reading
        bool writable, keptAside;
    } cases[] = {
        {"a directory", [&] { return std::filesystem::create_directory(file); }, ERROR_ACCESS_DENIED, false, false},
        {"a FIFO", [&] { return ::mkfifo(file.c_str(), 0666) == 0; }, ERROR_ACCESS_DENIED, false, false},
        {"a device like /dev/zero", [&] { return ::mknod(file.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0; },
         ERROR_ACCESS_DENIED, false, false},
        {"a link to a good store", [&] { WriteBytes(dir / "elsewhere", good); return ::symlink("elsewhere", file.c_str()) == 0; },
         ERROR_ACCESS_DENIED, false, false},
        // Maybe somebody else's file, linked in by whoever may write the directory.
        {"a second name of a good store", [&] { WriteBytes(dir / "elsewhere", good); return ::link((dir / "elsewhere").c_str(), file.c_str()) == 0; },
         ERROR_ACCESS_DENIED, false, false},
        {"1,000,000 nested keys", [&] { WriteBytes(file, deep + "]\r\n" + good); return true; }, ERROR_SUCCESS, true, true},
        {"40,000 sibling keys", [&] { WriteBytes(file, keys + good); return true; }, ERROR_SUCCESS, true, false},
        {"more bytes than are read", [&] { WriteBytes(file, good); std::filesystem::resize_file(file, 65 << 20); return true; },
         ERROR_REGISTRY_CORRUPT, true, true},
    };
    for (const auto& c : cases) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) std::filesystem::remove_all(entry.path());
        if (!c.make()) continue;
        struct stat before {};
        ::lstat(file.c_str(), &before);
        HKEY key{};
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrnKey, 0, KEY_READ, &key), c.open) << c.what;
        RegCloseKey(key);
        std::int32_t created = 0;
        key = CreateOrn(&created);
        EXPECT_EQ(created == ERROR_SUCCESS, c.writable) << c.what;
        if (!c.writable) {
            struct stat after {};
            ::lstat(file.c_str(), &after);
            EXPECT_EQ(after.st_mode, before.st_mode) << c.what;
            continue;
        }
        Put(key, "Messages", REG_DWORD, kZero);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS) << c.what;
        EXPECT_EQ(Get(kOrnKey, "Messages").second, kZero) << c.what;
        EXPECT_EQ(KeptAside(dir).size(), c.keptAside ? 1u : 0u) << c.what;
    }
}

TEST_F(RegistryStoreTest, StoreThatCannotBeWrittenRefusesWriteAccess) {
    // The store's directory would have to be made inside a regular file.
    WriteBytes(dir / "plain", "");
    SetRegistryStorePath((dir / "plain" / "registry.reg").string());
    HKEY key{};
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, 0x2001F, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, HKEY{});
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    // Making a key is writing, whatever access the new handle asks for.
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\tarnwhelm", 0,
                              nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST_F(RegistryStoreTest, SharedStoreStaysUsableByEveryMember) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become other users";
    // The directory as the package makes it, for a group root is not in.
    ASSERT_EQ(::chown(dir.c_str(), 0, kNogroup), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 02775), 0);
    auto expectShared = [&](const std::filesystem::path& path, const char* after) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << after;
        EXPECT_EQ(st.st_gid, kNogroup) << path << " after " << after;
        EXPECT_EQ(st.st_mode & 07777, 0664u) << path << " after " << after;
    };
    auto memberSaves = [&](const std::string& messages, uid_t member = kNobody) {
        return InChild([&] { return PutOrn("Messages", REG_DWORD, messages) == ERROR_SUCCESS ? 0 : 1; }, member,
                       kNogroup, {kNogroup});
    };
    // What a save under sudo used to leave: root's own file, 0644.
    WriteBytes(file, "");
    ::chmod(file.c_str(), 0644);
    EXPECT_EQ(memberSaves(kOne), 0);
    expectShared(file, "a member's save");

    // Root saves with a umask that would lock everybody out.
    const mode_t umask = ::umask(077);
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    ::umask(umask);
    expectShared(file, "root's save");

    // A member's read-only file locks neither another member nor root out.
    EXPECT_EQ(memberSaves(kZero), 0);
    EXPECT_EQ(InChild([&] { return ::chmod(file.c_str(), 0444); }, kNobody, kNogroup, {kNogroup}), 0);
    EXPECT_EQ(memberSaves(kOne, kStranger), 0);
    EXPECT_EQ(InChild([&] { return ::chmod(file.c_str(), 0444); }, kStranger, kNogroup, {kNogroup}), 0);
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    EXPECT_EQ(Get(kOrnKey, "FullInfo").second, kOne);
    EXPECT_EQ(Get(kOrnKey, "Messages").second, kOne);

    // Outside the group: reads the store but may not open it for writing.
    EXPECT_EQ(InChild([&] {
                  HKEY k{};
                  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrnKey, 0, 0x2001F, &k) != ERROR_ACCESS_DENIED) return 1;
                  return Get(kOrnKey, "FullInfo").second == kOne ? 0 : 2;
              }, kStranger, kStranger),
              0);

    // Without setgid the new file takes the directory's group all the same.
    ::chmod(dir.c_str(), 0775);
    std::filesystem::remove(file);
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kZero), ERROR_SUCCESS);
    expectShared(file, "root's save without setgid");
}

TEST_F(RegistryStoreTest, TemporariesOfDeadSavesGoAtTheNextSave) {
    const struct {
        const char* name;
        int age;  // seconds
        bool stays;
    } files[] = {{".registry.reg.a1B2c3", 120, false},
                 {".registry.reg.x9Y8z7", 20, true},  // a save may still be writing it
                 {".registry.reg.a1B2c", 120, true},  {".registry.reg.a1B2c3d", 120, true},
                 {".other.reg.a1B2c3", 120, true},    {"registry.reg.a1B2c3", 120, true}};
    for (const auto& f : files) {
        WriteBytes(dir / f.name, "x");
        std::filesystem::last_write_time(dir / f.name,
                                         std::filesystem::file_time_type::clock::now() - std::chrono::seconds(f.age));
    }
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    for (const auto& f : files) EXPECT_EQ(std::filesystem::exists(dir / f.name), f.stays) << f.name;
}

TEST_F(RegistryStoreTest, StoreIsMachineWideWhereTheUserMayWriteItElseTheUsersOwn) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    const std::filesystem::path machine = dir / "machine", config = dir / "config";
    ::chmod(dir.c_str(), 0755);
    std::filesystem::create_directory(config);
    ASSERT_EQ(::chown(config.c_str(), kNobody, kNogroup), 0);
    const std::string own = config.string() + "/orn/registry.reg";
    const struct {
        const char* machineDir;
        mode_t mode;  // 0: missing
        gid_t group;
        const char *xdg, *home;
        std::string expected;
    } cases[] = {
        {"missing", 0, 0, config.c_str(), "/nowhere", own},
        {"root's alone", 0755, 0, config.c_str(), "/nowhere", own},
        {"the group's", 02775, kNogroup, config.c_str(), "/nowhere", machine.string() + "/registry.reg"},
        {"missing, no XDG_CONFIG_HOME", 0, 0, nullptr, "/home/x", "/home/x/.config/orn/registry.reg"},
        {"missing, a relative one", 0, 0, "relative", "/home/x", "/home/x/.config/orn/registry.reg"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(machine);
        if (c.mode) {
            std::filesystem::create_directory(machine);
            ::chown(machine.c_str(), 0, c.group);
            ::chmod(machine.c_str(), c.mode);
        }
        EXPECT_EQ(InChild([&] {
                      c.xdg ? ::setenv("XDG_CONFIG_HOME", c.xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
                      ::setenv("HOME", c.home, 1);
                      return ChooseRegistryStorePath(machine.string()) == c.expected ? 0 : 1;
                  }, kNobody, kNogroup, {kNogroup}),
                  0)
            << c.machineDir;
    }
    // The real choice, for a user whom /var/lib/orn does not let write: the
    // user's own store keeps the filters across sessions.
    EXPECT_EQ(InChild([&] {
                  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
                  SetRegistryStorePath("");
                  if (RegistryStorePath() != own) return 1;
                  if (PutOrn("FullInfo", REG_DWORD, kOne) != ERROR_SUCCESS) return 2;
                  return Get(kOrnKey, "FullInfo").second == kOne && std::filesystem::exists(own) ? 0 : 3;
              }, kNobody, kNogroup, {kNogroup}),
              0);
    // Root under sudo with the member's HOME and XDG_CONFIG_HOME: root's own
    // home; and nothing is saved in the member's directory, with a word why.
    std::filesystem::remove_all(config / "orn");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("HOME", config.c_str(), 1);
    EXPECT_EQ(ChooseRegistryStorePath(machine.string()), std::string(::getpwuid(0)->pw_dir) + "/.config/orn/registry.reg");
    SetRegistryStorePath(own);
    testing::internal::CaptureStderr();
    EXPECT_NE(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(config.string() + ": the directory belongs to another user"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(config / "orn"));
}

TEST_F(RegistryStoreTest, FullDiskLeavesThePreviousFileWhole) {
    const int code = InChild([&] {
        // A 64 KiB file system of our own, seen by this child alone.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0)
            return 77;
        if (PutOrn("SrcAddrs", REG_BINARY, std::string(100, '\x02')) != ERROR_SUCCESS) return 10;
        const std::string before = ReadBytes(file);
        {
            std::ofstream filler(dir / "filler", std::ios::binary);
            const std::string block(4096, 'f');
            for (int i = 0; i < 64 && filler; ++i) filler.write(block.data(), block.size());
        }
        if (PutOrn("SrcAddrs", REG_BINARY, std::string(10000, '\x03')) != ERROR_DISK_FULL) return 11;
        // The old file is whole and the temporary file is gone.
        if (ReadBytes(file) != before || FilesIn(dir) != 2) return 12;
        std::filesystem::remove(dir / "filler");
        return PutOrn("SrcAddrs", REG_BINARY, std::string(10000, '\x03')) == ERROR_SUCCESS ? 0 : 13;
    });
    if (code == 77) GTEST_SKIP() << "cannot mount a private tmpfs here";
    EXPECT_EQ(code, 0);
}
