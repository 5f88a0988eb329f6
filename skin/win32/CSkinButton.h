#pragma once
// A push button whose face is one of up to four bitmaps (BS_OWNERDRAW, drawn
// on WM_DRAWITEM); it draws no caption, frame or focus rectangle of its own
// (the bitmap carries the caption).

#include <array>

#include "skin/win32/SkinWindow.h"

struct HBITMAP__;

class CSkinButton : public CSkinWindow {
public:
    enum Slot { kNormal = 0, kSelected = 1, kFocus = 2, kDisabled = 3 };

    CSkinButton() = default;
    ~CSkinButton() override;

    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;

    // Bitmap resource ids, 0 where there is none. Releases the bitmaps loaded
    // before. False when the normal bitmap fails (the others are then not
    // tried) or any requested optional one fails.
    bool LoadBitmaps(int normal, int selected = 0, int focus = 0, int disabled = 0);

    // The slot the face is drawn from for a state: selected while pressed,
    // else focus while focused, else disabled while disabled, each only when
    // loaded; otherwise normal. -1 when no normal bitmap is loaded.
    int ChosenSlot(bool pressed, bool focused, bool disabled) const;
    int BitmapId(Slot slot) const { return ids[slot]; }

private:
    void Release();

    std::array<HBITMAP__*, 4> faces{};
    std::array<int, 4> ids{};
};
