#pragma once
// The registry layer on Windows is the system's registry itself, under the
// same names. The project passes sizes and types as std::uint32_t where the
// system takes DWORD (unsigned long); these adaptors take them, and keep the
// layer's promise that a buffer too small is left untouched.

#include <windows.h>

#include <concepts>
#include <cstdint>
#include <string>

template <std::same_as<std::uint32_t> Size>
LONG RegQueryValueExA(HKEY key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                      std::uint8_t* data, Size* dataSize) {
    if (reserved || !dataSize) return ERROR_INVALID_PARAMETER;
    DWORD valueType = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(key, valueName, nullptr, &valueType, nullptr, &size);
    if (result == ERROR_SUCCESS && data) {
        if (size > *dataSize) {
            result = ERROR_MORE_DATA;
        } else {
            size = *dataSize;
            result = ::RegQueryValueExA(key, valueName, nullptr, &valueType, data, &size);
        }
    }
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        *dataSize = size;
        if (type) *type = valueType;
    }
    return result;
}

template <std::same_as<std::uint32_t> Disposition>
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, const char* className, DWORD options,
                     REGSAM desired, const void* securityAttributes, HKEY* result, Disposition* disposition) {
    DWORD how = 0;
    const LONG status = ::RegCreateKeyExA(key, subKey, reserved, const_cast<char*>(className), options, desired,
                                          static_cast<SECURITY_ATTRIBUTES*>(const_cast<void*>(securityAttributes)),
                                          result, &how);
    *disposition = how;
    return status;
}

// The store is the registry: one for the machine, nothing to choose or move.
void SetRegistryStorePath(const std::string& path);
std::string RegistryStorePath();
std::string ChooseRegistryStorePath(const std::string& machineDir);
