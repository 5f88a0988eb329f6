#pragma once
// The keys and values of the store file, and the file's text: the format of
// registry export files ("Windows Registry Editor Version 5.00", sections of
// full key paths, "name"=hex:.. / dword:.. / "text" lines).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orn::registry {

// Key and value names compare as the registry compares them: ignoring case.
bool SameName(std::string_view a, std::string_view b);

struct CRegValue {
    std::string name;  // empty: the key's default value, written as @
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool quoted = false;                // written as "text" while the data allows it
    std::vector<std::string> comments;  // ';' lines that stood just above it
};

struct CRegKey {
    std::string name;  // with the case it was created with
    bool listed = false;  // has a section of its own even without values
    std::vector<std::string> comments;
    std::vector<CRegValue> values;  // in the order they were first set
    std::vector<std::unique_ptr<CRegKey>> subKeys;

    CRegKey* Find(std::string_view subName);
    CRegKey& Obtain(std::string_view subName);  // adds an unlisted key when missing
    void Remove(std::string_view subName);

    CRegValue* FindValue(std::string_view valueName);
    // Replaces the data of a value of that name (keeping its name and place) or
    // appends a new one.
    CRegValue& SetValue(std::string_view valueName, std::uint32_t type,
                        std::vector<std::uint8_t> data, bool quoted);
    bool RemoveValue(std::string_view valueName);
};

struct CRegTree {
    CRegKey top;  // its sub-keys are the root keys (HKEY_LOCAL_MACHINE, ...)
    std::vector<std::string> trailingComments;
    // Lines that could not be read and were left out. A file with any is kept
    // aside before it is overwritten.
    std::size_t damagedLines = 0;
};

// Reads what it can: UTF-8 (with or without BOM) or UTF-16LE with BOM, LF or
// CRLF, hex data wrapped with '\' or not. A line that cannot be read is
// counted and skipped; a value is either read whole or not at all.
CRegTree ParseRegistryText(std::string_view text);

// CRLF lines as regedit writes them: hex data wrapped at its column, keys
// depth first with sub-keys sorted by name, values in their order.
std::string FormatRegistryText(const CRegTree& tree);

}  // namespace orn::registry
