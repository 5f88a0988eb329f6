#pragma once
// The real registry's calls in plain types. RegistryWin32.cpp cannot include
// <windows.h>: the layer's own names (HKEY, RegOpenKeyExA, ERROR_SUCCESS) are
// the system's. Keys are the system's handles as numbers; results are the
// system's error codes, which the layer's constants equal.

#include <cstdint>
#include <string>

namespace orn::win32 {

// The layer's HKEY_LOCAL_MACHINE as the system's handle: the real one, or, for
// tests, a key under HKEY_CURRENT_USER (rootBelowCurrentUser not empty).
std::int32_t OpenRoot(const std::string& rootBelowCurrentUser, std::uint32_t access, std::uintptr_t* root);
std::int32_t OpenKey(std::uintptr_t key, const char* subKey, std::uint32_t access, std::uintptr_t* result);
std::int32_t CreateKey(std::uintptr_t key, const char* subKey, std::uint32_t access, std::uintptr_t* result,
                       std::uint32_t* disposition);
std::int32_t QueryValue(std::uintptr_t key, const char* name, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size);
std::int32_t SetValue(std::uintptr_t key, const char* name, std::uint32_t type, const std::uint8_t* data,
                      std::uint32_t size);
std::int32_t DeleteValue(std::uintptr_t key, const char* name);
std::int32_t CloseKey(std::uintptr_t key);

}  // namespace orn::win32
