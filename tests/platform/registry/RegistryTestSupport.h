#pragma once
// A throw-away store file for each test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
