#pragma once
// A throw-away store file for each test, the golden store files, and children
// that run as another user.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"

inline constexpr const char* kOrnKey = "SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN";
inline constexpr std::uint32_t kMissing = 0xFFFFFFFFu;

#if defined(_WIN32)
// On Windows the store is the registry. A test's store file stands for an
// export of the key: reading it exports the key with reg.exe, writing it
// replaces the key with what reg.exe imports from it. Wine keeps a key's
// values in name order where Windows keeps them as written, so the text is
// read with each key's values in name order.
inline std::filesystem::path& WindowsStoreFile() {
    static std::filesystem::path file;
    return file;
}

inline int RunReg(const std::string& arguments) {
    return std::system(("reg " + arguments + " >NUL 2>&1").c_str());
}

inline std::string WindowsPath(const std::filesystem::path& path) {
    std::string text = path.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return "\"" + text + "\"";
}

inline void DeleteWindowsStore() { RunReg("delete HKLM\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm /f"); }

// UTF-16 exports as UTF-8 (their text is ASCII), values sorted within each key.
inline std::string CanonicalExport(std::string text) {
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
        std::string narrow;
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) narrow += text[i + 1] ? '?' : text[i];
        text = narrow;
    }
    std::string out;
    std::vector<std::string> values;
    auto flush = [&] {
        std::sort(values.begin(), values.end());
        for (const std::string& v : values) out += v;
        values.clear();
    };
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(at, end - at);
        if (line[0] == '"')
            values.push_back(line);
        else if (line[0] == ' ' && !values.empty())
            values.back() += line;  // a continued value
        else
            flush(), out += line;
        at = end;
    }
    flush();
    return out;
}
#endif

inline std::string ReadBytes(const std::filesystem::path& path) {
#if defined(_WIN32)
    if (path == WindowsStoreFile() && RunReg("export HKLM\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm " +
                                             WindowsPath(path) + " /y") != 0)
        std::filesystem::remove(path);
#endif
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
#if defined(_WIN32)
    bytes = CanonicalExport(bytes);
#endif
    return bytes;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
#if defined(_WIN32)
    if (path == WindowsStoreFile()) {
        DeleteWindowsStore();
        RunReg("import " + WindowsPath(path));
    }
#endif
}

#ifdef ORN_REGISTRY_GOLDEN
inline std::string Golden(const char* name) { return ReadBytes(std::filesystem::path(ORN_REGISTRY_GOLDEN) / name); }
#endif

// Runs body in a child process, as the given user and groups when uid is not
// 0; its exit code, or -1 when it died.
template <typename Body>
int InChild(Body body, uid_t uid = 0, gid_t gid = 0, std::vector<gid_t> groups = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (uid != 0 && (::setgroups(groups.size(), groups.data()) != 0 || ::setresgid(gid, gid, gid) != 0 ||
                         ::setresuid(uid, uid, uid) != 0))
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orn-registry-test.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        file = dir / "registry.reg";
        SetRegistryStorePath(file.string());
#if defined(_WIN32)
        WindowsStoreFile() = file;
        DeleteWindowsStore();
#endif
    }
    void TearDown() override {
        SetRegistryStorePath((dir / "gone" / "registry.reg").string());
#if defined(_WIN32)
        DeleteWindowsStore();
#endif
        std::filesystem::remove_all(dir);
    }

    // The filters key, created when missing.
    HKEY CreateOrn(std::int32_t* result = nullptr) {
        HKEY key{};
        const auto r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOrnKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (result) *result = r;
        return key;
    }

    std::int32_t Put(HKEY key, const char* name, std::uint32_t type, const std::string& bytes) {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                              static_cast<std::uint32_t>(bytes.size()));
    }

    // One session that sets one value of the filters key; the close's result.
    std::int32_t PutOrn(const char* name, std::uint32_t type, const std::string& bytes) {
        HKEY key = CreateOrn();
        Put(key, name, type, bytes);
        return RegCloseKey(key);
    }

    // Type and bytes of a value, read in a session of its own; type kMissing when missing.
    std::pair<std::uint32_t, std::string> Get(const char* keyPath, const char* name) {
        HKEY key{};
        std::pair<std::uint32_t, std::string> got{kMissing, ""};
        std::uint32_t size = 0;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return got;
        if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            got.second.resize(size);
            RegQueryValueExA(key, name, nullptr, &got.first, reinterpret_cast<std::uint8_t*>(got.second.data()), &size);
        }
        RegCloseKey(key);
        return got;
    }

    std::filesystem::path dir;
    std::filesystem::path file;
};
