#include "dialogs/CAboutDlg.h"

#include "skin/CSkinButton.h"

CAboutDlg::CAboutDlg(CSkinDialog* parent) : CSkinDialog(100, 188, 189, parent) {}

bool CAboutDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(189);
    if (auto* ok = Control<CSkinButton>(IDOK)) ok->LoadBitmaps(185, 186, 187, 0);
    return true;
}
