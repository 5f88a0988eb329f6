#include "platform/msgbox/MessageBox.h"

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
