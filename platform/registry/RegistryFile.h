#pragma once
// The keys and values of the store file, and the file's text: the format of
// registry export files ("Windows Registry Editor Version 5.00", sections of
// full key paths, "name"=hex:.. / dword:.. / "text" lines).
//
// The file is untrusted input (any member of the store's group can write it),
// so reading it costs time and memory in proportion to its size: names are
// found through ordered indexes, not by scanning, keys nest at most
// kMaxKeyDepth deep, and nothing recurses along the nesting.

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orn::registry {

// The registry's own limits: levels of keys (the root key counts), and the
// length of a key's name and of a value's name.
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxKeyName = 255;
inline constexpr std::size_t kMaxValueName = 16383;
// More keys and values than this in one file is not a store anybody keeps: the
// file is refused rather than read into memory.
inline constexpr std::size_t kMaxEntries = 200000;

// Key and value names compare as the registry compares them: ignoring case.
bool SameName(std::string_view a, std::string_view b);
// The form under which names are indexed: upper-cased, which also gives the
// order in which a save lists sub-keys.
std::string FoldedName(std::string_view name);

struct CRegValue {
    std::string name;  // empty: the key's default value, written as @
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool quoted = false;   // written as "text" while the data allows it
    std::string comments;  // ';' lines that stood just above it, each with its CRLF
};

struct CRegKey {
    CRegKey() = default;
    CRegKey(CRegKey&&) = default;
    CRegKey& operator=(CRegKey&&) = default;
    ~CRegKey();  // releases the sub-keys without recursing along them

    std::string name;  // with the case it was created with
    bool listed = false;  // has a section of its own even without values
    std::string comments;
    // Sub-keys by folded name, in the order a save lists them.
    std::map<std::string, std::unique_ptr<CRegKey>> subKeys;
    // Values in the order they were first set.
    std::list<CRegValue> values;

    CRegKey* Find(std::string_view subName);
    CRegKey& Obtain(std::string_view subName);  // adds an unlisted key when missing
    void Remove(std::string_view subName);

    CRegValue* FindValue(std::string_view valueName);
    // Replaces the data of a value of that name (keeping its name and place) or
    // appends a new one.
    CRegValue& SetValue(std::string_view valueName, std::uint32_t type,
                        std::vector<std::uint8_t> data, bool quoted);
    bool RemoveValue(std::string_view valueName);

private:
    std::map<std::string, std::list<CRegValue>::iterator> valueIndex;
};

struct CRegTree {
    CRegKey top;  // its sub-keys are the root keys (HKEY_LOCAL_MACHINE, ...)
    std::string trailingComments;
    // Lines that could not be read and were left out. A file with any is kept
    // aside before it is overwritten.
    std::size_t damagedLines = 0;
    // More than kMaxEntries keys and values: nothing was read.
    bool refused = false;
};

// Reads what it can: UTF-8 (with or without BOM) or UTF-16LE with BOM, LF or
// CRLF, hex data wrapped with '\' or not. A line that cannot be read is
// counted and skipped; a value is either read whole or not at all. A last line
// without its line end was cut short and is not read either.
CRegTree ParseRegistryText(std::string_view text);

// CRLF lines as regedit writes them: hex data wrapped at its column, keys
// depth first with sub-keys sorted by name, values in their order.
std::string FormatRegistryText(const CRegTree& tree);

}  // namespace orn::registry
