#pragma once
// The application object: its start-up runs the main window, and the
// program ends when that window has ended.

class CCaptureApp {
public:
    virtual ~CCaptureApp() = default;
    // Needs the QApplication. Returns false: nothing runs after the window.
    virtual bool InitInstance();
};
