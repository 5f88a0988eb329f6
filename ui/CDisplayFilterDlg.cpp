#include "ui/CDisplayFilterDlg.h"

#include "platform/msgbox/MessageBox.h"
#include "ui/skin/CSkinButton.h"

CDisplayFilterDlg::CDisplayFilterDlg(std::string text, QWidget* parent)
    : CSkinDialog(kDisplayFilterDialog, 188, 189, parent), expression(std::move(text)) {}

bool CDisplayFilterDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(189);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    Control<CSkinButton>(IDCANCEL)->LoadBitmaps(173, 174, 175, 0);
    SetDlgItemText(kDisplayFilterEdit, QString::fromStdString(expression));
    if (QWidget* edit = Item(kDisplayFilterEdit)) edit->setFocus();
    return false;
}

void CDisplayFilterDlg::OnOK() {
    auto compiled = std::make_shared<CDisplayFilter>();
    std::string error;
    if (!compiled->Compile(GetDlgItemText(kDisplayFilterEdit).trimmed().toStdString(), error)) {
        ShowMessageBox(std::string(kDisplayFilterRefusedText) + "\n" + error, MessageIcon::Exclamation);
        return;
    }
    filter = std::move(compiled);
    CSkinDialog::OnOK();
}
