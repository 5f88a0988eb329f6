#include "skin/win32/Win32Api.h"

#include "skin/WindowThread.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kClassName[] = L"ORN.WindowThreadQueue";

}  // namespace

// A message-only window of the thread that made the object: what is posted
// to it and its timer run there, and go with it.
struct CWindowThreadQueue::Impl {
    std::function<void()> onTimer;
    HWND window = nullptr;
    bool timerActive = false;
    std::mutex mutex;
    std::vector<std::function<void()>> calls;
    bool postPending = false;  // one message carries every call made before it runs

    void RunPosted() {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(mutex);
            now.swap(calls);
            postPending = false;
        }
        for (auto& call : now) call();
    }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == kRunPosted) {
            self->RunPosted();
            return 0;
        }
        if (self && message == WM_TIMER && wParam == kTimerId) {
            ::KillTimer(hwnd, kTimerId);
            self->timerActive = false;
            if (self->onTimer) self->onTimer();
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

CWindowThreadQueue::CWindowThreadQueue(std::function<void()> onTimer) : impl(std::make_unique<Impl>()) {
    impl->onTimer = std::move(onTimer);
    static const ATOM registered = [] {
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = Impl::Procedure;
        c.hInstance = ::GetModuleHandleW(nullptr);
        c.lpszClassName = kClassName;
        return ::RegisterClassExW(&c);
    }();
    (void)registered;
    impl->window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
    if (impl->window) ::SetWindowLongPtrW(impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl.get()));
}

CWindowThreadQueue::~CWindowThreadQueue() {
    HWND window;
    {
        std::lock_guard lock(impl->mutex);
        window = std::exchange(impl->window, nullptr);
        impl->calls.clear();
    }
    // Its posted message and timer go with the window.
    if (window) ::DestroyWindow(window);
}

void CWindowThreadQueue::Post(std::function<void()> call) {
    std::lock_guard lock(impl->mutex);
    if (!impl->window) return;
    impl->calls.push_back(std::move(call));
    if (impl->postPending) return;
    impl->postPending = ::PostMessageW(impl->window, kRunPosted, 0, 0) != FALSE;
}

void CWindowThreadQueue::StartTimer(int ms) {
    if (!impl->window) return;
    impl->timerActive = ::SetTimer(impl->window, kTimerId, static_cast<UINT>(ms < 0 ? 0 : ms), nullptr) != 0;
}

void CWindowThreadQueue::StopTimer() {
    if (impl->window) ::KillTimer(impl->window, kTimerId);
    impl->timerActive = false;
}

bool CWindowThreadQueue::TimerActive() const { return impl->timerActive; }
