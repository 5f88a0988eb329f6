#pragma once
// Modal message boxes with an OK button, titled with the application's name.
// Logic that must tell the user of a failure calls ShowMessageBox; the window
// toolkit installs the presenter that really shows the box, and tests replace
// it with a recorder.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

enum class MessageIcon { None, Exclamation };

// Shows the box and, on the window thread, returns when the user closed it.
// From any other thread the box is handed to the window thread and the call
// returns at once.
void ShowMessageBox(const std::string& text, MessageIcon icon = MessageIcon::Exclamation);

// The application's name: the executable's file name ("orn").
std::string MessageBoxTitle();

using MessageBoxPresenter =
    std::function<void(const std::string& title, const std::string& text, MessageIcon icon)>;

// The toolkit's presenter; without one the box is written to standard error.
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

// The system's box on Windows, to be installed as the presenter.
void ShowWin32MessageBox(const std::string& title, const std::string& text, MessageIcon icon);

// Test hook that takes precedence over the presenter; an empty one removes
// it. Returns the hook it replaced.
MessageBoxPresenter SetMessageBoxHook(MessageBoxPresenter hook);

// Records every box shown while it lives instead of showing it.
class CMessageBoxRecorder {
public:
    struct Box {
        std::string title;
        std::string text;
        MessageIcon icon;
    };

    CMessageBoxRecorder();
    virtual ~CMessageBoxRecorder();
    CMessageBoxRecorder(const CMessageBoxRecorder&) = delete;
    CMessageBoxRecorder& operator=(const CMessageBoxRecorder&) = delete;

    std::vector<Box> Boxes() const;
    std::vector<std::string> Texts() const;
    void Clear();

private:
    mutable std::mutex mutex;
    std::vector<Box> boxes;
    MessageBoxPresenter previous;
};
