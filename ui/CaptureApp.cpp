#include "ui/CaptureApp.h"

#include <QApplication>

#include "ui/CMainDlg.h"

bool CCaptureApp::InitInstance() {
    // The window hidden to the tray is no reason to end, nor is a closed
    // dialog while it is hidden: the program ends with the main window.
    QApplication::setQuitOnLastWindowClosed(false);
    CMainDlg dlg;
    dlg.DoModal();
    return false;
}
