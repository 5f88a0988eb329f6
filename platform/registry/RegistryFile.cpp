#include "platform/registry/RegistryFile.h"

#include <algorithm>
#include <cstdio>

namespace orn::registry {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::uint32_t kTypeString = 1;
constexpr std::uint32_t kTypeBinary = 3;
constexpr std::uint32_t kTypeDword = 4;
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

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
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
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view token = Trim(list.substr(0, comma));
        if (token.size() != 2 || HexDigit(token[0]) < 0 || HexDigit(token[1]) < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(HexDigit(token[0]) << 4 | HexDigit(token[1])));
        if (comma == std::string_view::npos)
            return true;
        list.remove_prefix(comma + 1);
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

// "[path]" or "[-path]"; every path element non-empty.
bool ParseSection(std::string_view line, bool& remove, std::vector<std::string_view>& path)
{
    if (line.size() < 3 || line.front() != '[' || line.back() != ']')
        return false;
    std::string_view inner = line.substr(1, line.size() - 2);
    remove = !inner.empty() && inner.front() == '-';
    if (remove)
        inner.remove_prefix(1);
    while (true) {
        const std::size_t slash = inner.find('\\');
        const std::string_view element = inner.substr(0, slash);
        if (element.empty())
            return false;
        path.push_back(element);
        if (slash == std::string_view::npos)
            return true;
        inner.remove_prefix(slash + 1);
    }
}

class CParser {
public:
    explicit CParser(std::string_view text) : lines(SplitLines(text)) {}

    CRegTree Run()
    {
        for (index = 0; index < lines.size(); ++index) {
            const std::string_view line = Trim(lines[index]);
            if (line.empty() || line == kHeader || line == kOldHeader)
                continue;
            if (line.front() == ';')
                pending.emplace_back(TrimRight(lines[index]));
            else if (line.front() == '[')
                Section(line);
            else if (line.front() == '"' || line.front() == '@')
                Value(line);
            else
                ++tree.damagedLines;
        }
        tree.trailingComments = std::move(pending);
        return std::move(tree);
    }

private:
    void Section(std::string_view line)
    {
        bool remove = false;
        std::vector<std::string_view> path;
        current = nullptr;  // values under a section that failed belong nowhere
        if (!ParseSection(line, remove, path)) {
            ++tree.damagedLines;
            return;
        }
        CRegKey* key = &tree.top;
        if (remove) {
            for (std::size_t i = 0; key && i + 1 < path.size(); ++i)
                key = key->Find(path[i]);
            if (key)
                key->Remove(path.back());
            return;
        }
        for (std::string_view element : path)
            key = &key->Obtain(element);
        key->listed = true;
        TakePending(key->comments);
        current = key;
    }

    void Value(std::string_view line)
    {
        std::string name;
        std::string_view rest = line;
        if (rest.front() == '@')
            rest.remove_prefix(1);
        else if (!ParseQuoted(rest, name))
            return Damaged();
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Damaged();
        rest = TrimLeft(rest.substr(1));

        std::string joined;
        if (StartsWithNoCase(rest, "hex")) {
            joined.assign(rest);
            while (!TrimRight(joined).empty() && TrimRight(joined).back() == '\\') {
                joined.resize(TrimRight(joined).size() - 1);
                if (index + 1 >= lines.size() || !IsHexContinuation(lines[index + 1]))
                    return Damaged();  // cut off in the middle of its data
                joined += Trim(lines[++index]);
            }
            rest = joined;
        }

        CParsedData data;
        if (!ParseValueData(rest, data) || !current)
            return Damaged();
        if (data.remove) {
            current->RemoveValue(name);
            return;
        }
        CRegValue& value =
            current->SetValue(name, data.type, std::move(data.data), data.quoted);
        TakePending(value.comments);
    }

    void Damaged() { ++tree.damagedLines; }

    void TakePending(std::vector<std::string>& into)
    {
        into.insert(into.end(), std::make_move_iterator(pending.begin()),
                    std::make_move_iterator(pending.end()));
        pending.clear();
    }

    std::vector<std::string_view> lines;
    std::size_t index = 0;
    CRegTree tree;
    CRegKey* current = nullptr;
    std::vector<std::string> pending;  // comments waiting for the next section or value
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
    for (const std::string& comment : value.comments)
        AppendLine(out, comment);
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
            std::snprintf(piece, sizeof piece, "%02x", value.data[i]);
            line += piece;
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

std::vector<const CRegKey*> SortedSubKeys(const CRegKey& key)
{
    std::vector<const CRegKey*> sorted;
    for (const auto& sub : key.subKeys)
        sorted.push_back(sub.get());
    // The registry lists sub-keys by their upper-cased names.
    std::stable_sort(sorted.begin(), sorted.end(), [](const CRegKey* a, const CRegKey* b) {
        return std::lexicographical_compare(
            a->name.begin(), a->name.end(), b->name.begin(), b->name.end(), [](char x, char y) {
                return static_cast<unsigned char>(Upper(x)) < static_cast<unsigned char>(Upper(y));
            });
    });
    return sorted;
}

void FormatKey(std::string& out, const CRegKey& key, const std::string& path)
{
    if (key.listed || !key.values.empty()) {
        for (const std::string& comment : key.comments)
            AppendLine(out, comment);
        AppendLine(out, '[' + path + ']');
        for (const CRegValue& value : key.values)
            FormatValue(out, value);
        AppendLine(out, "");
    }
    for (const CRegKey* sub : SortedSubKeys(key))
        FormatKey(out, *sub, path + '\\' + sub->name);
}

}  // namespace

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

CRegKey* CRegKey::Find(std::string_view subName)
{
    for (auto& sub : subKeys)
        if (SameName(sub->name, subName))
            return sub.get();
    return nullptr;
}

CRegKey& CRegKey::Obtain(std::string_view subName)
{
    if (CRegKey* found = Find(subName))
        return *found;
    subKeys.push_back(std::make_unique<CRegKey>());
    subKeys.back()->name = std::string(subName);
    return *subKeys.back();
}

void CRegKey::Remove(std::string_view subName)
{
    std::erase_if(subKeys, [&](const auto& sub) { return SameName(sub->name, subName); });
}

CRegValue* CRegKey::FindValue(std::string_view valueName)
{
    for (CRegValue& value : values)
        if (SameName(value.name, valueName))
            return &value;
    return nullptr;
}

CRegValue& CRegKey::SetValue(std::string_view valueName, std::uint32_t type,
                             std::vector<std::uint8_t> data, bool quoted)
{
    CRegValue* value = FindValue(valueName);
    if (!value) {
        values.emplace_back();
        value = &values.back();
        value->name = std::string(valueName);
    }
    value->type = type;
    value->data = std::move(data);
    value->quoted = quoted;
    return *value;
}

bool CRegKey::RemoveValue(std::string_view valueName)
{
    return std::erase_if(values, [&](const CRegValue& v) { return SameName(v.name, valueName); }) > 0;
}

CRegTree ParseRegistryText(std::string_view text)
{
    std::string decoded;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    } else if (text.starts_with("\xFF\xFE")) {
        decoded = FromUtf16(text.substr(2));
        text = decoded;
    }
    return CParser(text).Run();
}

std::string FormatRegistryText(const CRegTree& tree)
{
    std::string out;
    AppendLine(out, kHeader);
    AppendLine(out, "");
    for (const CRegKey* root : SortedSubKeys(tree.top))
        FormatKey(out, *root, root->name);
    for (const std::string& comment : tree.trailingComments)
        AppendLine(out, comment);
    return out;
}

}  // namespace orn::registry
