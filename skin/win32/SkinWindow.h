#pragma once
// The base of the Win32 skin's controls: one thin object over one window
// handle, found again from the handle (GWLP_USERDATA). The dialog that owns
// a control reflects to it the messages a parent gets about it, so that each
// control draws and answers for itself.

#include <cstdint>
#include <string>

#include "resources/templates/DialogTemplates.h"

struct HWND__;
struct HFONT__;
using SkinHwnd = HWND__*;

class CSkinWindow {
public:
    CSkinWindow() = default;
    virtual ~CSkinWindow();  // destroys the window if it is still there
    CSkinWindow(const CSkinWindow&) = delete;
    CSkinWindow& operator=(const CSkinWindow&) = delete;

    SkinHwnd Handle() const { return hwnd; }
    int Id() const;
    // The object over a window of the skin, or null.
    static CSkinWindow* FromHandle(SkinHwnd window);

    // Makes the control's window: class, styles and id from the template
    // entry, rect in pixels of the parent's client area, the skin's font.
    // Each control knows its own window class and styles.
    virtual bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) = 0;

    // A message the parent received about this control: WM_DRAWITEM,
    // WM_MEASUREITEM, WM_CTLCOLOR*, WM_NOTIFY, WM_COMMAND, WM_HSCROLL,
    // WM_VSCROLL. True: the control answered it (result) and the parent's
    // handlers do not see it.
    virtual bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

    // Window text in UTF-8.
    void SetText(const std::string& text);
    std::string GetText() const;
    void Show(bool show);
    bool IsVisible() const;
    void Enable(bool enable);
    bool IsEnabled() const;
    void Redraw();

protected:
    // Takes hwnd as this object's window (the user data points back here).
    void Attach(SkinHwnd window);

    SkinHwnd hwnd = nullptr;
};
