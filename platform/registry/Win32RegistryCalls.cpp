#include "platform/registry/Win32RegistryCalls.h"

#include <windows.h>

namespace orn::win32 {

namespace {

HKEY Handle(std::uintptr_t key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

std::int32_t OpenRoot(const std::string& rootBelowCurrentUser, std::uint32_t access, std::uintptr_t* root) {
    if (rootBelowCurrentUser.empty()) {
        *root = reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE);
        return ERROR_SUCCESS;
    }
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, rootBelowCurrentUser.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
    *root = reinterpret_cast<std::uintptr_t>(key);
    return result;
}

std::int32_t OpenKey(std::uintptr_t key, const char* subKey, std::uint32_t access, std::uintptr_t* result) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(Handle(key), subKey, 0, access, &opened);
    *result = reinterpret_cast<std::uintptr_t>(opened);
    return status;
}

std::int32_t CreateKey(std::uintptr_t key, const char* subKey, std::uint32_t access, std::uintptr_t* result,
                       std::uint32_t* disposition) {
    HKEY created = nullptr;
    DWORD how = 0;
    const LONG status =
        RegCreateKeyExA(Handle(key), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &created, &how);
    *result = reinterpret_cast<std::uintptr_t>(created);
    if (disposition) *disposition = how;
    return status;
}

std::int32_t QueryValue(std::uintptr_t key, const char* name, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size) {
    DWORD valueType = 0;
    DWORD valueSize = 0;
    LONG status = RegQueryValueExA(Handle(key), name, nullptr, &valueType, nullptr, &valueSize);
    if (status == ERROR_SUCCESS && data) {
        // The system may scribble on a buffer that is too small; the layer
        // promises to leave it alone.
        if (valueSize > *size) {
            status = ERROR_MORE_DATA;
        } else {
            DWORD got = *size;
            status = RegQueryValueExA(Handle(key), name, nullptr, &valueType, data, &got);
            valueSize = got;
        }
    }
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        if (type) *type = valueType;
        *size = valueSize;
    }
    return status;
}

std::int32_t SetValue(std::uintptr_t key, const char* name, std::uint32_t type, const std::uint8_t* data,
                      std::uint32_t size) {
    return RegSetValueExA(Handle(key), name, 0, type, data, size);
}

std::int32_t DeleteValue(std::uintptr_t key, const char* name) { return RegDeleteValueA(Handle(key), name); }

std::int32_t CloseKey(std::uintptr_t key) { return RegCloseKey(Handle(key)); }

}  // namespace orn::win32
