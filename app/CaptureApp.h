#pragma once
// The application object: its start-up runs the main window, and the
// program ends when that window has ended.

#include <string>
#include <vector>

class CCaptureApp {
public:
    virtual ~CCaptureApp() = default;
    // Needs the QApplication on Linux, the common controls on Windows. A capture file given is replayed into the
    // window once it has opened. Returns false: nothing runs after the window.
    virtual bool InitInstance(const std::string& captureFile = {});
};

// The command line: orn [CAPTURE-FILE]. False, with the text for standard
// error (or standard output for --help) in message and the exit status in
// status, when the window is not to open.
bool ParseCommandLine(const std::vector<std::string>& arguments, std::string& captureFile, std::string& message,
                      int& status);
