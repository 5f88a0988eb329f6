#pragma once
// The registry operations ORN uses, under their Win32 names and with their
// Win32 argument order, over one store file of keys under HKEY_LOCAL_MACHINE.
// The file is in the text format of registry export files, so a person can
// read it and a Windows host can import it.
//
// A session runs from the first open handle to the last close: its first open
// reads the file, a close after any change saves, and the last close forgets
// it, so the next session sees edits made in between. A save takes an
// advisory lock that other processes' saves take too (flock on the store's
// directory), reads the file again, makes the session's changes on it and
// replaces it atomically (temporary file, fsync, rename): what another
// process saved meanwhile stays, unless this session changed the same value.
// Every file is reached through the directory's descriptor, never through a
// link, and files are only ever created new. The layer is safe to call from
// any thread.

#if defined(_WIN32)
#include "platform/registry/RegistryWin32.h"
#else

#include <cstdint>
#include <string>

// An open key. Zero is no key.
enum class HKEY : std::uintptr_t {};

inline constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002u);

// Access rights.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_NOTIFY = 0x0010;
inline constexpr std::uint32_t KEY_CREATE_LINK = 0x0020;
inline constexpr std::uint32_t KEY_READ = 0x00020019;
inline constexpr std::uint32_t KEY_WRITE = 0x00020006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0x000F003F;

// Options of RegOpenKeyExA and RegCreateKeyExA. Only non-volatile keys exist.
inline constexpr std::uint32_t REG_OPTION_NON_VOLATILE = 0;

// Dispositions of RegCreateKeyExA.
inline constexpr std::uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr std::uint32_t REG_OPENED_EXISTING_KEY = 2;

// Value types.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

// Results.
inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::int32_t ERROR_OUTOFMEMORY = 14;
inline constexpr std::int32_t ERROR_DISK_FULL = 112;
inline constexpr std::int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::int32_t ERROR_BAD_PATHNAME = 161;
inline constexpr std::int32_t ERROR_MORE_DATA = 234;
inline constexpr std::int32_t ERROR_NOACCESS = 998;
inline constexpr std::int32_t ERROR_CANTWRITE = 1013;
inline constexpr std::int32_t ERROR_REGISTRY_CORRUPT = 1015;

// Opens an existing key below key. Write access (set value, create sub-key,
// delete, and the like) is refused with ERROR_ACCESS_DENIED when the store
// file cannot be written by this process. A key that is not there gives
// ERROR_FILE_NOT_FOUND; ERROR_ACCESS_DENIED when the file could not be read
// (not a regular file, or not readable), ERROR_REGISTRY_CORRUPT when it held
// lines that were left out or was refused (larger than 64 MiB, or too many
// keys and values).
std::int32_t RegOpenKeyExA(HKEY key, const char* subKey, std::uint32_t options,
                           std::uint32_t desired, HKEY* result);

// Without data: the value's size into *dataSize. With data: *dataSize is the
// buffer size on entry and the value's size on return; ERROR_MORE_DATA (the
// buffer untouched) when the buffer is too small. reserved must be null.
std::int32_t RegQueryValueExA(HKEY key, const char* valueName, std::uint32_t* reserved,
                              std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* dataSize);

// Opens subKey below key, creating it and any missing keys on its path.
// securityAttributes is accepted for the argument order and must be null.
std::int32_t RegCreateKeyExA(HKEY key, const char* subKey, std::uint32_t reserved,
                             const char* className, std::uint32_t options,
                             std::uint32_t desired, const void* securityAttributes,
                             HKEY* result, std::uint32_t* disposition);

// Stores exactly dataSize bytes under valueName with the given type.
std::int32_t RegSetValueExA(HKEY key, const char* valueName, std::uint32_t reserved,
                            std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t dataSize);

// ERROR_FILE_NOT_FOUND when the value does not exist.
std::int32_t RegDeleteValueA(HKEY key, const char* valueName);

// Writes the file when the session changed anything and has not written it
// since; returns the write's failure, if any (the handle is closed all the same).
std::int32_t RegCloseKey(HKEY key);

// The store file. Unless a path was set: the machine-wide
// /var/lib/orn/registry.reg where this user may create files in /var/lib/orn
// (root, or a member of the group the package gives it); elsewhere the user's
// own $XDG_CONFIG_HOME/orn/registry.reg (~/.config/orn/ by default), of the
// effective user's home where these belong to somebody else (sudo). A test
// sets a path of its own; an empty path restores the choice. Takes effect from
// the next session.
void SetRegistryStorePath(const std::string& path);
std::string RegistryStorePath();
// The choice above, for a machine-wide directory given by the caller.
std::string ChooseRegistryStorePath(const std::string& machineDir);

#endif
