#include "platform/msgbox/MessageBox.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

namespace {

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
MessageBoxPresenter& Presenter() {
    static MessageBoxPresenter p;
    return p;
}
MessageBoxPresenter& Hook() {
    static MessageBoxPresenter h;
    return h;
}

void WriteToStderr(const std::string& title, const std::string& text, MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

}  // namespace

std::string MessageBoxTitle() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "orn";
    std::string exe(path, static_cast<size_t>(n));
    std::string::size_type slash = exe.rfind('/');
    std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
    return name.empty() ? "orn" : name;
}

void ShowMessageBox(const std::string& text, MessageIcon icon) {
    MessageBoxPresenter show;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        show = Hook() ? Hook() : Presenter();
    }
    // Called outside the lock: a presenter runs a modal loop, in which other
    // boxes may be asked for.
    if (!show) show = WriteToStderr;
    show(MessageBoxTitle(), text, icon);
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    Presenter() = std::move(presenter);
}

MessageBoxPresenter SetMessageBoxHook(MessageBoxPresenter hook) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    MessageBoxPresenter old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

CMessageBoxRecorder::CMessageBoxRecorder() {
    previous = SetMessageBoxHook([this](const std::string& title, const std::string& text, MessageIcon icon) {
        std::lock_guard<std::mutex> lock(mutex);
        boxes.push_back({title, text, icon});
    });
}

CMessageBoxRecorder::~CMessageBoxRecorder() { SetMessageBoxHook(std::move(previous)); }

std::vector<CMessageBoxRecorder::Box> CMessageBoxRecorder::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex);
    return boxes;
}

std::vector<std::string> CMessageBoxRecorder::Texts() const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> texts;
    for (const Box& b : boxes) texts.push_back(b.text);
    return texts;
}

void CMessageBoxRecorder::Clear() {
    std::lock_guard<std::mutex> lock(mutex);
    boxes.clear();
}
