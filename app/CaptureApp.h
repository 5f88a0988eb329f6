#pragma once
// The application object: its start-up runs the main window, and the
// program ends when that window has ended.

#include <string>
#include <vector>

struct CCommandLine {
    std::string captureFile;      // replayed into the window once it has opened
    bool startListening = false;  // --start: listening begins once it has opened
};

class CCaptureApp {
public:
    virtual ~CCaptureApp() = default;
    // Needs the QApplication on Linux, the common controls on Windows.
    // Returns false: nothing runs after the window.
    virtual bool InitInstance(const CCommandLine& line = {});
};

// The command line: orn [--start | CAPTURE-FILE]. False, with the text for
// standard error (or standard output for --help) in message and the exit
// status in status, when the window is not to open.
bool ParseCommandLine(const std::vector<std::string>& arguments, CCommandLine& line, std::string& message,
                      int& status);
