#pragma once
// The about box: name, version and the application icon.

#include "skin/CSkinDialog.h"

class CAboutDlg : public CSkinDialog {
public:
    explicit CAboutDlg(CSkinDialog* parent = nullptr);

protected:
    bool OnInitDialog() override;
};
