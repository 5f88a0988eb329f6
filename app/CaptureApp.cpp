#include "app/CaptureApp.h"

#ifndef _WIN32
#include <QApplication>
#endif

#include "dialogs/CMainDlg.h"

bool ParseCommandLine(const std::vector<std::string>& arguments, std::string& captureFile, std::string& message,
                      int& status) {
    constexpr char kUsage[] = "Usage: orn [CAPTURE-FILE]\n"
                              "Opens the packet monitor's window; a capture file (pcap or pcapng) given is\n"
                              "replayed into it at once, as Open capture does.\n";
    bool optionsEnd = false;
    for (const std::string& a : arguments) {
        if (!optionsEnd && (a == "--help" || a == "-h")) {
            message = kUsage;
            status = 0;
            return false;
        }
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            message = "orn: unknown option '" + a + "'\n" + kUsage;
            status = 2;
            return false;
        } else if (!captureFile.empty()) {
            message = std::string("orn: one capture file at most\n") + kUsage;
            status = 2;
            return false;
        } else {
            captureFile = a;
        }
    }
    return true;
}

bool CCaptureApp::InitInstance(const std::string& captureFile) {
    CMainDlgOptions options;
    options.captureFile = captureFile;
#ifndef _WIN32
    // The window hidden to the tray is no reason to end, nor is a closed
    // dialog while it is hidden: the program ends with the main window.
    QApplication::setQuitOnLastWindowClosed(false);
#endif
    CMainDlg dlg(options);
    dlg.DoModal();
    return false;
}
