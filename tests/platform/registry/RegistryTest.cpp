#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/platform/registry/RegistryTestSupport.h"

namespace {

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";

// Runs body in a child process and returns its exit code (-1 when it died).
template <typename Body>
int InChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t FilesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

const std::string kOne("\x01\0\0\0", 4), kZero(4, '\0');

}  // namespace

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
    ASSERT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_READ, &other), ERROR_SUCCESS);
    EXPECT_EQ(Put(other, "V", REG_BINARY, "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(other), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(other), ERROR_INVALID_HANDLE);
    RegCloseKey(key);
}

TEST_F(RegistryStoreTest, SaveKeepsEverythingElseInTheFile) {
    const std::string before =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
        "\"Name\"=\"value \\\"quoted\\\"\"\r\n"
        "@=dword:0000abcd\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Another]\r\n"
        "\"Path\"=hex(2):25,00,53,00,00,00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n"
        "; the user's note\r\n"
        "\"Custom\"=hex:01\r\n"
        "\"FullInfo\"=dword:00000000\r\n\r\n";
    WriteBytes(file, before);
    PutOrn("FullInfo", REG_DWORD, kOne);
    std::string after = before;
    after.replace(after.find("dword:00000000"), 14, "dword:00000001");
    EXPECT_EQ(ReadBytes(file), after);
    EXPECT_EQ(FilesIn(dir), 1u) << "a temporary or a set-aside file was left";
}

TEST_F(RegistryStoreTest, DamagedFileLoadsWhatItCanAndIsKeptAside) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n"
        "\"SrcAddrs\"=hex:0a,00,00,05\r\n"
        "\"SrcPorts\"=hex:50,0\r\n"          // a byte of one digit
        "\"FullInfo\"=dword:0000001\r\n"     // a dword of seven
        "\"Text\"=\"no end\r\n"
        "garbage \x01\xff\r\n"
        "[HKEY_LOCAL_MACHINE\\Broken\\\\Key]\r\n"
        "\"Stray\"=hex:01\r\n"               // belongs to the broken section, not ORN
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n"
        "\"Messages\"=dword:00000000\r\n"
        "\"DestAddrs\"=hex:0a,00,\\\r\n";    // cut after a wrapped line
    WriteBytes(file, damaged);

    EXPECT_EQ(Get(kOrnKey, "SrcAddrs").second, std::string("\x0a\0\0\x05", 4));
    EXPECT_EQ(Get(kOrnKey, "Messages").second, std::string(4, '\0'));
    for (const char* lost : {"SrcPorts", "FullInfo", "Text", "Stray", "DestAddrs"})
        EXPECT_EQ(Get(kOrnKey, lost).first, kMissing) << lost;
    EXPECT_EQ(ReadBytes(file), damaged) << "reading changed the file";

    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kOne), ERROR_SUCCESS);
    std::string aside;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().starts_with("registry.reg.damaged-"))
            aside = ReadBytes(entry.path());
    EXPECT_EQ(aside, damaged);
    EXPECT_EQ(ReadBytes(file),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n"
              "\"SrcAddrs\"=hex:0a,00,00,05\r\n"
              "\"Messages\"=dword:00000000\r\n"
              "\"FullInfo\"=dword:00000001\r\n\r\n");

    // The clean file is not set aside again; another damaged one is, even
    // within the same second.
    PutOrn("FullInfo", REG_DWORD, kZero);
    EXPECT_EQ(FilesIn(dir), 2u);
    WriteBytes(file, damaged + "more garbage\r\n");
    RegCloseKey(CreateOrn());
    EXPECT_EQ(FilesIn(dir), 2u) << "a session without changes wrote the file";
    PutOrn("FullInfo", REG_DWORD, kZero);
    EXPECT_EQ(FilesIn(dir), 3u);
}

TEST_F(RegistryStoreTest, UnreadableOrOversizedFileIsNeverLostOrTrusted) {
    // A directory where the file should be: nothing is readable, nothing written.
    std::filesystem::create_directory(file);
    std::int32_t result = 0;
    CreateOrn(&result);
    EXPECT_EQ(result, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Get(kOrnKey, "SrcAddrs").first, kMissing);
    std::filesystem::remove(file);

    // A huge (sparse) file is not read; the first save keeps it aside.
    std::ofstream(file).close();
    std::filesystem::resize_file(file, 65 << 20);
    EXPECT_EQ(Get(kOrnKey, "SrcAddrs").first, kMissing);
    EXPECT_EQ(PutOrn("FullInfo", REG_DWORD, kZero), ERROR_SUCCESS);
    EXPECT_LT(std::filesystem::file_size(file), 1000u);
    EXPECT_EQ(FilesIn(dir), 2u);
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

TEST_F(RegistryStoreTest, OrdinaryUserReadsButCannotOpenForWriting) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    PutOrn("FullInfo", REG_DWORD, kOne);
    const std::string before = ReadBytes(file);
    ::chmod(dir.c_str(), 0755);

    const int code = InChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            return 10;
        HKEY k{};
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, 0x2001F, &k) != ERROR_ACCESS_DENIED ||
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrnKey, 0, 0x2001F, &k) != ERROR_ACCESS_DENIED)
            return 11;
        return Get(kOrnKey, "FullInfo").second == kOne ? 0 : 12;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(file), before);
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
