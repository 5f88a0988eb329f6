#include "app/CaptureApp.h"

#ifndef _WIN32
#include <QApplication>
#endif

#include "dialogs/CMainDlg.h"

bool ParseCommandLine(const std::vector<std::string>& arguments, CCommandLine& line, std::string& message,
                      int& status) {
    constexpr char kUsage[] = "Usage: orn [--start | CAPTURE-FILE]\n"
                              "Opens the packet monitor's window; a capture file (pcap or pcapng) given is\n"
                              "replayed into it at once, as Open capture does; --start starts listening at\n"
                              "once, as Start does.\n";
    bool optionsEnd = false;
    for (const std::string& a : arguments) {
        if (!optionsEnd && (a == "--help" || a == "-h")) {
            message = kUsage;
            status = 0;
            return false;
        }
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && a == "--start") {
            line.startListening = true;
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            message = "orn: unknown option '" + a + "'\n" + kUsage;
            status = 2;
            return false;
        } else if (!line.captureFile.empty()) {
            message = std::string("orn: one capture file at most\n") + kUsage;
            status = 2;
            return false;
        } else {
            line.captureFile = a;
        }
    }
    if (line.startListening && !line.captureFile.empty()) {
        message = std::string("orn: --start or a capture file, not both\n") + kUsage;
        status = 2;
        return false;
    }
    return true;
}

bool CCaptureApp::InitInstance(const CCommandLine& line) {
    CMainDlgOptions options;
    options.captureFile = line.captureFile;
    options.startListening = line.startListening;
#ifndef _WIN32
    // The window hidden to the tray is no reason to end, nor is a closed
    // dialog while it is hidden: the program ends with the main window.
    QApplication::setQuitOnLastWindowClosed(false);
#endif
    CMainDlg dlg(options);
    dlg.DoModal();
    return false;
}
