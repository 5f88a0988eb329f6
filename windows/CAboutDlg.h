#pragma once
// The about box: name, version and the application icon.

#include "skin/qt/CSkinDialog.h"

class CAboutDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
};
