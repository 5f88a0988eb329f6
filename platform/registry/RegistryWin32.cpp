// The registry layer on Windows: the system's own registry. A test may move
// the layer's HKEY_LOCAL_MACHINE to a key under HKEY_CURRENT_USER, which
// needs no administrator.
#include <mutex>

#include "platform/registry/Registry.h"
#include "platform/registry/Win32RegistryCalls.h"

namespace {

std::mutex rootMutex;
std::string testRoot;  // below HKEY_CURRENT_USER; empty: the real HKEY_LOCAL_MACHINE

// Runs call on the system's handle for key, opening (and closing again) the
// test root in place of the predefined key.
template <typename Call>
std::int32_t WithKey(HKEY key, std::uint32_t access, Call call) {
    if (key != HKEY_LOCAL_MACHINE) {
        if (key == HKEY{}) return ERROR_INVALID_HANDLE;
        return call(static_cast<std::uintptr_t>(key));
    }
    std::string root;
    {
        std::lock_guard lock(rootMutex);
        root = testRoot;
    }
    std::uintptr_t handle = 0;
    if (const std::int32_t result = orn::win32::OpenRoot(root, access, &handle)) return result;
    const std::int32_t result = call(handle);
    if (!root.empty()) orn::win32::CloseKey(handle);
    return result;
}

}  // namespace

std::int32_t RegOpenKeyExA(HKEY key, const char* subKey, std::uint32_t options, std::uint32_t desired,
                           HKEY* result) {
    if (!result || options != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    *result = HKEY{};
    return WithKey(key, desired, [&](std::uintptr_t handle) {
        std::uintptr_t opened = 0;
        const std::int32_t status = orn::win32::OpenKey(handle, subKey ? subKey : "", desired, &opened);
        if (status == ERROR_SUCCESS) *result = static_cast<HKEY>(opened);
        return status;
    });
}

std::int32_t RegQueryValueExA(HKEY key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* dataSize) {
    if (reserved || !dataSize) return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_QUERY_VALUE, [&](std::uintptr_t handle) {
        return orn::win32::QueryValue(handle, valueName, type, data, dataSize);
    });
}

std::int32_t RegCreateKeyExA(HKEY key, const char* subKey, std::uint32_t, const char*, std::uint32_t options,
                             std::uint32_t desired, const void* securityAttributes, HKEY* result,
                             std::uint32_t* disposition) {
    if (!result || !subKey || securityAttributes || options != REG_OPTION_NON_VOLATILE)
        return ERROR_INVALID_PARAMETER;
    *result = HKEY{};
    return WithKey(key, desired, [&](std::uintptr_t handle) {
        std::uintptr_t created = 0;
        const std::int32_t status = orn::win32::CreateKey(handle, subKey, desired, &created, disposition);
        if (status == ERROR_SUCCESS) *result = static_cast<HKEY>(created);
        return status;
    });
}

std::int32_t RegSetValueExA(HKEY key, const char* valueName, std::uint32_t, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t dataSize) {
    if (!data && dataSize) return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_SET_VALUE, [&](std::uintptr_t handle) {
        return orn::win32::SetValue(handle, valueName, type, data, dataSize);
    });
}

std::int32_t RegDeleteValueA(HKEY key, const char* valueName) {
    return WithKey(key, KEY_SET_VALUE,
                   [&](std::uintptr_t handle) { return orn::win32::DeleteValue(handle, valueName); });
}

std::int32_t RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    if (key == HKEY{}) return ERROR_INVALID_HANDLE;
    return orn::win32::CloseKey(static_cast<std::uintptr_t>(key));
}

void SetRegistryStorePath(const std::string& path) {
    std::lock_guard lock(rootMutex);
    testRoot = path;
}

std::string RegistryStorePath() {
    std::lock_guard lock(rootMutex);
    return testRoot.empty() ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER\\" + testRoot;
}

// One registry for the machine: nothing to choose.
std::string ChooseRegistryStorePath(const std::string&) { return "HKEY_LOCAL_MACHINE"; }
