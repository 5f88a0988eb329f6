#pragma once
// What the Win32 skin's controls share: their windows made from a template
// entry, and the skin's colours answered to WM_CTLCOLOR*. Include after
// "skin/win32/Win32Api.h".

#include <string>

#include "skin/win32/SkinWindow.h"

// A child window of className with the entry's id, visibility (kHidden),
// kTabStop and kGroup added to style, placed at rect, with font. Null when
// the system refuses it.
SkinHwnd MakeControlWindow(SkinHwnd parent, const wchar_t* className, unsigned long style, unsigned long exStyle,
                           const ControlTemplate& entry, const PixelRect& rect, HFONT__* font,
                           const std::string& text = {});

// Yellow text on the control brush; transparent behind the text for labels
// and buttons, whose ground the brush already paints. The brush is the answer.
std::intptr_t AnswerControlColours(HDC dc, bool transparent);

// The font a control was given (WM_GETFONT), or the skin's.
HFONT ControlFont(HWND window);
// Lines of text one above the other: the font's height with its leading.
int LineSpacing(HFONT font);

// The system draws WS_BORDER in the window-frame colour; the skin's thin
// border is black: drawn over the window's own after its WM_NCPAINT.
void DrawBlackBorder(HWND window);
