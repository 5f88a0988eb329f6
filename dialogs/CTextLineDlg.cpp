#include "dialogs/CTextLineDlg.h"

#include "platform/msgbox/MessageBox.h"
#include "skin/CSkinButton.h"

namespace {

// Unicode's white space (what a text box user may type around the line):
// the ASCII blanks, NEL, no-break space and the other space separators.
bool IsBlank(char32_t c) {
    return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f || c == 0x3000;
}

// The code point of the UTF-8 sequence at s[i], and its length.
char32_t CodePointAt(const std::string& s, std::size_t i, std::size_t& length) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = b(0);
    length = lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    if (i + length > s.size()) return length = 1, 0xfffd;
    switch (length) {
    case 1: return lead;
    case 2: return char32_t(lead & 0x1f) << 6 | (b(1) & 0x3f);
    case 3: return char32_t(lead & 0x0f) << 12 | char32_t(b(1) & 0x3f) << 6 | (b(2) & 0x3f);
    default: return char32_t(lead & 0x07) << 18 | char32_t(b(1) & 0x3f) << 12 | char32_t(b(2) & 0x3f) << 6 | (b(3) & 0x3f);
    }
}

// The line without white space at either end.
std::string Trimmed(const std::string& s) {
    std::size_t first = 0, end = 0, length = 0;
    for (std::size_t i = 0; i < s.size(); i += length) {
        const bool blank = IsBlank(CodePointAt(s, i, length));
        if (blank && end == 0) first = i + length;
        if (!blank) end = i + length;
    }
    return end == 0 ? std::string() : s.substr(first, end - first);
}

}  // namespace

CTextLineDlg::CTextLineDlg(int templateId, std::string text, Check c, CSkinDialog* parent)
    : CSkinDialog(templateId, 188, 189, parent), line(std::move(text)), check(std::move(c)) {}

bool CTextLineDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(189);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    Control<CSkinButton>(IDCANCEL)->LoadBitmaps(173, 174, 175, 0);
    SetDlgItemText(kTextLineEdit, line);
    FocusItem(kTextLineEdit);
    return false;
}

void CTextLineDlg::OnOK() {
    std::string text;
    GetDlgItemText(kTextLineEdit, text);
    text = Trimmed(text);
    if (const std::string refused = check ? check(text) : std::string(); !refused.empty()) {
        ShowMessageBox(refused, MessageIcon::Exclamation);
        return;
    }
    line = text;
    CSkinDialog::OnOK();
}
