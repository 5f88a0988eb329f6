#include "platform/registry/RegistryFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orn::registry {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::uint32_t kTypeString = 1;
constexpr std::uint32_t kTypeBinary = 3;
constexpr std::uint32_t kTypeDword = 4;
// All the comments of a file together; more is not a note somebody wrote.
constexpr std::size_t kMaxCommentBytes = 1 << 20;
// regedit breaks a hex line once it has reached this many characters.
constexpr std::size_t kHexColumn = 77;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// string_view::find, without a library call for what lies in the first bytes:
// a hostile file's lines and key names can be one or two bytes each, millions
// of them.
std::size_t FindChar(std::string_view s, char c)
{
    const std::size_t head = std::min<std::size_t>(s.size(), 16);
    for (std::size_t i = 0; i < head; ++i)
        if (s[i] == c)
            return i;
    const void* found = head < s.size() ? std::memchr(s.data() + head, c, s.size() - head) : nullptr;
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - s.data()) : std::string_view::npos;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// regedit's own exports are UTF-16LE; the rest of the parser reads UTF-8.
std::string FromUtf16(std::string_view bytes)
{
    auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i]) |
                                          static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

// A quoted name or text at the start of rest, with \\ and \" escapes; rest is
// left after the closing quote. False when the quote is never closed.
bool ParseQuoted(std::string_view& rest, std::string& out)
{
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '\\' || rest[i + 1] == '"')) {
            out += rest[++i];
        } else if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

// "0a,00,ff": two hex digits per byte, so that a cut line cannot pass for a
// different byte.
bool ParseHexBytes(std::string_view list, std::vector<std::uint8_t>& out)
{
    list = Trim(list);
    if (list.empty())
        return true;
    out.reserve(out.size() + list.size() / 3 + 1);
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < list.size() && IsBlank(list[i]))
            ++i;
    };
    while (true) {
        skipBlanks();
        if (i + 2 > list.size())
            return false;
        const int high = HexDigit(list[i]), low = HexDigit(list[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(high << 4 | low));
        i += 2;
        skipBlanks();
        if (i == list.size())
            return true;
        if (list[i++] != ',')
            return false;
    }
}

struct CParsedData {
    bool remove = false;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool quoted = false;
};

bool ParseValueData(std::string_view text, CParsedData& value)
{
    text = Trim(text);
    if (text == "-") {
        value.remove = true;
        return true;
    }
    if (!text.empty() && text.front() == '"') {
        std::string content;
        if (!ParseQuoted(text, content) || !Trim(text).empty())
            return false;
        value.type = kTypeString;
        value.data.assign(content.begin(), content.end());
        value.data.push_back(0);
        value.quoted = true;
        return true;
    }
    if (StartsWithNoCase(text, "dword:")) {
        const std::string_view digits = text.substr(6);
        if (digits.size() != 8)
            return false;
        std::uint32_t number = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0)
                return false;
            number = number << 4 | static_cast<std::uint32_t>(HexDigit(c));
        }
        value.type = kTypeDword;
        for (int shift = 0; shift < 32; shift += 8)
            value.data.push_back(static_cast<std::uint8_t>(number >> shift));
        return true;
    }
    if (StartsWithNoCase(text, "hex:")) {
        value.type = kTypeBinary;
        return ParseHexBytes(text.substr(4), value.data);
    }
    if (StartsWithNoCase(text, "hex(")) {
        const std::size_t close = text.find(')');
        if (close == std::string_view::npos || close < 5 || close > 12 ||
            close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        std::uint32_t type = 0;
        for (char c : text.substr(4, close - 4)) {
            if (HexDigit(c) < 0)
                return false;
            type = type << 4 | static_cast<std::uint32_t>(HexDigit(c));
        }
        value.type = type;
        return ParseHexBytes(text.substr(close + 2), value.data);
    }
    return false;
}

// A line that can only be the next piece of wrapped hex data. Anything else
// (a section, a value, a comment) ends the value, which is then incomplete.
bool IsHexContinuation(std::string_view line)
{
    line = Trim(line);
    return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
        return HexDigit(c) >= 0 || c == ',' || c == ' ' || c == '\t' || c == '\\';
    });
}

// Appends the names of "A\B\C" to names; false when a name is empty or
// longer than the registry allows, or the path deeper than it allows.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names)
{
    while (true) {
        const std::size_t slash = FindChar(path, '\\');
        const std::string_view name = path.substr(0, slash);
        if (name.empty() || name.size() > kMaxKeyName || names.size() == kMaxKeyDepth)
            return false;
        names.push_back(name);
        if (slash == std::string_view::npos)
            return true;
        path.remove_prefix(slash + 1);
    }
}

class CParser {
public:
    explicit CParser(std::string_view text) : rest(text)
    {
        // A file cut short ends inside its last line: that line is not read,
        // for a cut list would pass for a shorter one.
        const std::size_t end = rest.rfind('\n');
        if (end + 1 != rest.size()) {
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(0, end + 1);
            ++tree.damagedLines;
        }
    }

    CRegTree Run()
    {
        std::string_view raw;
        while (!tree.refused && NextLine(raw)) {
            if (raw.empty())
                continue;
            const std::string_view line = Trim(raw);
            if (line.empty() || line == kHeader || line == kOldHeader)
                continue;
            if (line.front() == ';')
                Comment(TrimRight(raw));
            else if (line.front() == '[')
                Section(line);
            else if (line.front() == '"' || line.front() == '@')
                Value(line);
            else
                Damaged();
        }
        if (tree.refused) {
            current = nullptr;
            Forget();
            tree = CRegTree{};  // what was read is released at once
            tree.refused = true;
            return std::move(tree);
        }
        tree.trailingComments = std::move(pending);
        return std::move(tree);
    }

private:
    bool NextLine(std::string_view& line)
    {
        if (rest.empty())
            return false;
        const std::size_t end = FindChar(rest, '\n');
        line = rest.substr(0, end);
        rest.remove_prefix(end + 1);  // every line has its line end
        return true;
    }

    bool PeekLine(std::string_view& line) const
    {
        if (rest.empty())
            return false;
        line = rest.substr(0, FindChar(rest, '\n'));
        return true;
    }

    // Counts a key or value that the file added; past the limit the file is refused.
    void Added()
    {
        if (++entries > kMaxEntries)
            tree.refused = true;
    }

    // "[path]" adds the key and makes it current; "[-path]" removes it.
    void Section(std::string_view line)
    {
        current = nullptr;  // values under a section that failed belong nowhere
        if (line.size() < 3 || line.back() != ']')
            return Forget(), Damaged();
        std::string_view inner = line.substr(1, line.size() - 2);
        if (inner.front() == '-') {
            inner.remove_prefix(1);
            names.clear();
            Forget();  // the chain may hold a removed key
            if (!SplitKeyPath(inner, names))
                return Damaged();
            CRegKey* key = &tree.top;
            for (std::size_t i = 0; key && i + 1 < names.size(); ++i)
                key = key->Find(names[i]);
            if (key)
                key->Remove(names.back());
            return;
        }
        // Sections mostly repeat the leading keys of the one before (a save
        // writes them depth first): the keys of the leading names that match
        // the last section's byte for byte are taken as they were found.
        const std::size_t common = static_cast<std::size_t>(
            std::mismatch(inner.begin(), inner.end(), lastPath.begin(), lastPath.end()).first - inner.begin());
        std::size_t same = 0;
        while (same < ends.size() && ends[same] <= common &&
               (ends[same] == inner.size() || inner[ends[same]] == '\\'))
            ++same;
        names.resize(same);
        chain.resize(same);
        ends.resize(same);
        const bool allSame = same && ends.back() == inner.size();
        if (!allSame && !SplitKeyPath(inner.substr(same ? ends.back() + 1 : 0), names))
            return Forget(), Damaged();
        CRegKey* key = same ? chain.back() : &tree.top;
        for (std::size_t i = same; i < names.size(); ++i) {
            CRegKey* parent = key;
            const std::size_t before = parent->subKeys.size();
            key = &parent->Obtain(names[i]);
            if (parent->subKeys.size() != before)
                Added();
            chain.push_back(key);
            ends.push_back(static_cast<std::size_t>(names[i].data() + names[i].size() - inner.data()));
        }
        lastPath = inner;
        key->listed = true;
        TakePending(key->comments);
        current = key;
    }

    void Forget()
    {
        lastPath = {};
        ends.clear();
        chain.clear();
    }

    void Value(std::string_view line)
    {
        std::string name;
        std::string_view text = line;
        if (text.front() == '@')
            text.remove_prefix(1);
        else if (!ParseQuoted(text, name) || name.size() > kMaxValueName)
            return Damaged();
        text = TrimLeft(text);
        if (text.empty() || text.front() != '=')
            return Damaged();
        text = TrimLeft(text.substr(1));

        std::string joined;
        if (StartsWithNoCase(text, "hex")) {
            joined.assign(text);
            while (!TrimRight(joined).empty() && TrimRight(joined).back() == '\\') {
                joined.resize(TrimRight(joined).size() - 1);
                std::string_view next;
                if (!PeekLine(next) || !IsHexContinuation(next))
                    return Damaged();  // cut off in the middle of its data
                rest.remove_prefix(next.size() + 1);  // the line just peeked at
                joined += Trim(next);
            }
            text = joined;
        }

        CParsedData data;
        if (!ParseValueData(text, data) || !current)
            return Damaged();
        if (data.remove) {
            current->RemoveValue(name);
            return;
        }
        const std::size_t before = current->values.size();
        CRegValue& value = current->SetValue(name, data.type, std::move(data.data), data.quoted);
        if (current->values.size() != before)
            Added();
        TakePending(value.comments);
    }

    void Damaged() { ++tree.damagedLines; }

    // Comments are kept for the person who wrote them, up to a bound: past it
    // they count as damage, so that the file is kept aside before a save.
    void Comment(std::string_view comment)
    {
        commentBytes += comment.size() + 2;
        if (commentBytes > kMaxCommentBytes)
            return Damaged();
        pending.append(comment).append("\r\n", 2);
    }

    void TakePending(std::string& comments)
    {
        if (comments.empty())
            comments.swap(pending);
        else
            comments += pending;
        pending.clear();
    }

    std::string_view rest;  // the lines not read yet
    CRegTree tree;
    CRegKey* current = nullptr;
    std::string pending;  // comment lines waiting for the next section or value
    // The last section: its path, where each of its names ends, and its keys.
    std::string_view lastPath;
    std::vector<std::size_t> ends;
    std::vector<CRegKey*> chain;
    std::vector<std::string_view> names;
    std::size_t entries = 0;
    std::size_t commentBytes = 0;
};

void AppendLine(std::string& out, std::string_view line)
{
    out += line;
    out += "\r\n";
}

std::string Escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// A string that can stand between quotes and read back to the same bytes.
bool WritableAsText(const CRegValue& value)
{
    if (!value.quoted || value.type != kTypeString || value.data.empty() || value.data.back() != 0)
        return false;
    return std::none_of(value.data.begin(), value.data.end() - 1,
                        [](std::uint8_t b) { return b == 0 || b == '\r' || b == '\n'; });
}

void FormatValue(std::string& out, const CRegValue& value)
{
    out += value.comments;
    std::string line = value.name.empty() ? "@=" : '"' + Escaped(value.name) + "\"=";
    char piece[24];
    if (value.type == kTypeDword && value.data.size() == 4) {
        const std::uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                     static_cast<std::uint32_t>(value.data[3]) << 24;
        std::snprintf(piece, sizeof piece, "dword:%08x", number);
        line += piece;
    } else if (WritableAsText(value)) {
        line += '"';
        line += Escaped(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                         value.data.size() - 1));
        line += '"';
    } else {
        if (value.type == kTypeBinary) {
            line += "hex:";
        } else {
            std::snprintf(piece, sizeof piece, "hex(%x):", static_cast<unsigned>(value.type));
            line += piece;
        }
        std::size_t column = line.size();
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            line += "0123456789abcdef"[value.data[i] >> 4];
            line += "0123456789abcdef"[value.data[i] & 15];
            if (i + 1 == value.data.size())
                break;
            line += ',';
            column += 3;
            if (column >= kHexColumn) {
                line += "\\\r\n  ";
                column = 2;
            }
        }
    }
    AppendLine(out, line);
}

}  // namespace

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           (a == b || std::equal(a.begin(), a.end(), b.begin(),
                                 [](char x, char y) { return Lower(x) == Lower(y); }));
}

std::string FoldedName(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        c = Upper(c);
    return folded;
}

CRegKey::~CRegKey()
{
    // A file may nest keys deeper than the stack reaches: every sub-key is
    // emptied of its own sub-keys before it is released.
    std::vector<std::unique_ptr<CRegKey>> pending;
    auto takeSubKeys = [&pending](CRegKey& key) {
        for (auto& entry : key.subKeys)
            if (!entry.second->subKeys.empty())
                pending.push_back(std::move(entry.second));
        key.subKeys.clear();  // releases the ones without sub-keys
    };
    takeSubKeys(*this);
    while (!pending.empty()) {
        std::unique_ptr<CRegKey> key = std::move(pending.back());
        pending.pop_back();
        takeSubKeys(*key);
    }
}

CRegKey* CRegKey::Find(std::string_view subName)
{
    const auto found = subKeys.find(FoldedName(subName));
    return found == subKeys.end() ? nullptr : found->second.get();
}

CRegKey& CRegKey::Obtain(std::string_view subName)
{
    // Saves list sub-keys in order, so a new one mostly goes last.
    const auto at = subKeys.try_emplace(subKeys.end(), FoldedName(subName));
    if (!at->second) {
        at->second = std::make_unique<CRegKey>();
        at->second->name = std::string(subName);
    }
    return *at->second;
}

void CRegKey::Remove(std::string_view subName)
{
    subKeys.erase(FoldedName(subName));
}

CRegValue* CRegKey::FindValue(std::string_view valueName)
{
    const auto found = valueIndex.find(FoldedName(valueName));
    return found == valueIndex.end() ? nullptr : &*found->second;
}

CRegValue& CRegKey::SetValue(std::string_view valueName, std::uint32_t type,
                             std::vector<std::uint8_t> data, bool quoted)
{
    const std::size_t before = valueIndex.size();
    const auto at = valueIndex.try_emplace(valueIndex.end(), FoldedName(valueName));
    if (valueIndex.size() != before) {
        values.emplace_back().name = std::string(valueName);
        at->second = std::prev(values.end());
    }
    CRegValue& value = *at->second;
    value.type = type;
    value.data = std::move(data);
    value.quoted = quoted;
    return value;
}

bool CRegKey::RemoveValue(std::string_view valueName)
{
    const auto found = valueIndex.find(FoldedName(valueName));
    if (found == valueIndex.end())
        return false;
    values.erase(found->second);
    valueIndex.erase(found);
    return true;
}

CRegTree ParseRegistryText(std::string_view text)
{
    std::string decoded;
    bool oddByte = false;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    } else if (text.starts_with("\xFF\xFE")) {
        oddByte = text.size() % 2 != 0;  // cut inside its last character
        decoded = FromUtf16(text.substr(2));
        text = decoded;
    }
    CRegTree tree = CParser(text).Run();
    tree.damagedLines += oddByte;
    return tree;
}

std::string FormatRegistryText(const CRegTree& tree)
{
    std::string out;
    AppendLine(out, kHeader);
    AppendLine(out, "");
    // Depth first without recursion: each entry is a key and the length of
    // its parent's path, which `path` holds when the key is taken.
    std::vector<std::pair<const CRegKey*, std::size_t>> stack;
    auto pushSubKeys = [&stack](const CRegKey& key, std::size_t pathLength) {
        for (auto sub = key.subKeys.rbegin(); sub != key.subKeys.rend(); ++sub)
            stack.emplace_back(sub->second.get(), pathLength);
    };
    std::string path;
    pushSubKeys(tree.top, 0);
    while (!stack.empty()) {
        const auto [key, parentLength] = stack.back();
        stack.pop_back();
        path.resize(parentLength);
        if (parentLength)
            path += '\\';
        path += key->name;
        if (key->listed || !key->values.empty()) {
            out += key->comments;
            AppendLine(out, '[' + path + ']');
            for (const CRegValue& value : key->values)
                FormatValue(out, value);
            AppendLine(out, "");
        }
        pushSubKeys(*key, path.size());
    }
    out += tree.trailingComments;
    return out;
}

}  // namespace orn::registry
