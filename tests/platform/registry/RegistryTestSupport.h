#pragma once
// A throw-away store file for each test, the golden store files, and children
// that run as another user.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"

inline constexpr const char* kOrnKey = "SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN";
inline constexpr std::uint32_t kMissing = 0xFFFFFFFFu;

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
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
    }
    void TearDown() override {
        SetRegistryStorePath((dir / "gone" / "registry.reg").string());
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
