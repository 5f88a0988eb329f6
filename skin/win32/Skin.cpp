#include "skin/win32/Win32Api.h"

#include "skin/Skin.h"

#include <atomic>
#include <cstring>

#include "platform/win32/WideText.h"

namespace {

std::atomic<int> waitDepth{0};

}  // namespace

// The cursor a window shows comes from its class; the hourglass is set now
// and again at each WM_SETCURSOR of the skin's windows while the wait lasts.
void BeginWaitCursor() {
    if (waitDepth++ == 0) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void EndWaitCursor() {
    if (waitDepth.load() == 0) return;
    if (--waitDepth == 0) {
        POINT at;
        ::GetCursorPos(&at);
        ::SetCursorPos(at.x, at.y);  // the window under it sets its own cursor again
    }
}

bool WaitCursorShown() { return waitDepth.load() > 0; }

void SetClipboardText(const std::string& text) {
    const std::wstring wide = WideText(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return;
    if (void* target = ::GlobalLock(memory)) {
        std::memcpy(target, wide.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    if (!::OpenClipboard(nullptr)) {
        ::GlobalFree(memory);
        return;
    }
    ::EmptyClipboard();
    if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);  // the clipboard owns it once set
    ::CloseClipboard();
}

int WheelScrollLines() {
    UINT lines = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) return 3;
    // WHEEL_PAGESCROLL (a page a notch) and 0 have no line count: one line.
    if (lines == 0 || lines == WHEEL_PAGESCROLL) return 1;
    return static_cast<int>(lines);
}
