#include "skin/DialogInt.h"

#include <climits>

namespace {

bool Blank(char16_t c) {
    return (c >= u'\t' && c <= u'\r') || c == u' ' || c == 0x85 || c == 0xa0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f ||
           c == 0x3000;
}

}  // namespace

long long ParseDialogInt(std::u16string_view text, bool* translated, bool isSigned) {
    if (translated) *translated = false;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && Blank(text[i])) ++i;
    bool negative = false;
    if (i < n && isSigned && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i == n || text[i] < u'0' || text[i] > u'9') return 0;
    long long value = 0;
    const long long limit = isSigned ? (negative ? -static_cast<long long>(INT_MIN) : INT_MAX) : UINT_MAX;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > limit) return 0;
    }
    while (i < n && Blank(text[i])) ++i;
    if (i != n) return 0;
    if (translated) *translated = true;
    return negative ? -value : value;
}
