#include "dialogs/CTextLineDlg.h"

#include "platform/msgbox/MessageBox.h"
#include "skin/CSkinButton.h"

namespace {

std::string Trimmed(const std::string& s) {
    const char* blanks = " \t\n\v\f\r";
    const std::size_t first = s.find_first_not_of(blanks);
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(blanks) - first + 1);
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
