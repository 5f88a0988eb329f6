#include "windows/CTextLineDlg.h"

#include "platform/msgbox/MessageBox.h"
#include "skin/qt/CSkinButton.h"

CTextLineDlg::CTextLineDlg(int templateId, std::string text, Check c, QWidget* parent)
    : CSkinDialog(templateId, 188, 189, parent), line(std::move(text)), check(std::move(c)) {}

bool CTextLineDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(189);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    Control<CSkinButton>(IDCANCEL)->LoadBitmaps(173, 174, 175, 0);
    SetDlgItemText(kTextLineEdit, QString::fromStdString(line));
    if (QWidget* edit = Item(kTextLineEdit)) edit->setFocus();
    return false;
}

void CTextLineDlg::OnOK() {
    const std::string text = GetDlgItemText(kTextLineEdit).trimmed().toStdString();
    if (const std::string refused = check ? check(text) : std::string(); !refused.empty()) {
        ShowMessageBox(refused, MessageIcon::Exclamation);
        return;
    }
    line = text;
    CSkinDialog::OnOK();
}
