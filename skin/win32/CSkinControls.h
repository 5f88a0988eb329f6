#pragma once
// The plain controls of a skinned window on Windows: labels, icons, edits,
// check and radio buttons, scroll bars and the up-down arrows, each over the
// system's own control class, with the template entry's styles and the
// skin's colours (yellow text on the control brush, answered to WM_CTLCOLOR*).

#include <string>

#include "skin/win32/SkinWindow.h"

// Static text ("STATIC" with SS_NOTIFY off, so that a press on it reaches the
// window and moves it). Words wrap where the label has room for a second
// line; a one-line label's text is narrowed where it is too long, down to
// half its width, and beyond that ends in an ellipsis.
class CSkinLabel : public CSkinWindow {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;
    unsigned Style() const { return styleBits; }

private:
    unsigned styleBits = 0;
};

// An icon static (SS_ICON): the icon resource named by the entry's text.
class CSkinIconStatic : public CSkinWindow {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
};

class CSkinEdit : public CSkinWindow {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;
    void SelectAll();
};

// Multi-line and word-wrapping, with a vertical scroll bar only while the
// text is longer than the box. Enter is left to the window (its OK command);
// Ctrl+Enter starts a new line.
class CSkinMultiEdit : public CSkinEdit {
public:
    ~CSkinMultiEdit() override;
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    // Line breaks may come as "\n" or "\r\n".
    void SetText(const std::string& text);
    // Fixed pitch for columns of text: the face is narrowed, down to 60 %,
    // until the widest line fits the box beside a vertical scroll bar (a
    // line wider still wraps: the box keeps its window, which the window
    // may have subclassed).
    void SetFixedPitch(bool fixed);
    bool FixedPitch() const { return fixedPitch; }
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;

private:
    void FitScrollBars();
    void FitFont();

    static constexpr int kLeftMargin = 2;
    bool fixedPitch = false;
    HFONT__* baseFont = nullptr;
    HFONT__* fittedFont = nullptr;  // the fixed-pitch font, narrowed to the box
};

// Check box; with kMultiLine its text wraps onto several lines.
class CSkinCheckBox : public CSkinWindow {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;
    void SetChecked(bool checked);
    bool IsChecked() const;
};

class CSkinRadioButton : public CSkinCheckBox {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
};

// The system's scroll-bar control: it does not move by itself; each user
// action reaches the window as WM_HSCROLL/WM_VSCROLL with its scroll code,
// and the position changes only through SetScrollPos. The shaft is painted
// with the control brush.
class CSkinScrollBar : public CSkinWindow {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;

    bool Vertical() const { return vertical; }
    void SetScrollRange(int minPos, int maxPos, bool redraw = true);
    void GetScrollRange(int* minPos, int* maxPos) const;
    int SetScrollPos(int pos, bool redraw = true);  // returns the previous position
    int GetScrollPos() const;

    // What a user's action sends to the window: code, then SB_ENDSCROLL.
    void SendScrollCode(int code);
    // A turn of the wheel (WM_MOUSEWHEEL's delta, WHEEL_DELTA a notch, positive
    // away from the user): SB_LINEUP or SB_LINEDOWN, wheelLines times per
    // notch, then SB_ENDSCROLL; parts of a notch add up. False when the wheel
    // did not turn this way.
    bool ReportWheel(int delta);
    void SetWheelLines(int lines) { wheelLines = lines < 1 ? 1 : lines; }

private:
    bool vertical = false;
    int wheelLines = 1;
    int wheelRest = 0;
};

// Up-down arrows ("msctls_updown32") bound to a buddy edit: each step reads
// the buddy's number, moves it by one within the range (no wrapping) and
// writes it back.
class CSkinUpDown : public CSkinWindow {
public:
    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;

    void SetBuddy(CSkinEdit* buddy);
    CSkinEdit* Buddy() const { return buddy; }
    void SetRange32(int low, int high);
    void GetRange32(int* low, int* high) const;
    void SetPos32(int pos);
    int GetPos32() const;
    // One step up (+1) or down (-1), as a click on an arrow does.
    void Step(int direction);

private:
    bool ReadBuddy(int* value) const;

    CSkinEdit* buddy = nullptr;
    unsigned styleBits = 0;
};
