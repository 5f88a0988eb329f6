#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinButton.h"

#include <algorithm>
#include <utility>

#include "skin/win32/SkinLook.h"

namespace {

// Template texts are 8-bit, one byte per character.
std::wstring Latin1(const char* text) {
    std::wstring wide;
    for (const char* p = text; p && *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    return wide;
}

}  // namespace

CSkinButton::~CSkinButton() { Release(); }

bool CSkinButton::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    DWORD style = WS_CHILD | BS_OWNERDRAW;
    if (!(entry.style & kHidden)) style |= WS_VISIBLE;
    if (entry.style & kTabStop) style |= WS_TABSTOP;
    if (entry.style & kGroup) style |= WS_GROUP;
    HWND window = ::CreateWindowExW(0, L"BUTTON", Latin1(entry.text).c_str(), style, rect.x, rect.y, rect.width,
                                    rect.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    Attach(window);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return true;
}

void CSkinButton::Release() {
    for (HBITMAP& face : faces)
        if (face) ::DeleteObject(std::exchange(face, nullptr));
    ids = {};
}

bool CSkinButton::LoadBitmaps(int normal, int selected, int focus, int disabled) {
    Release();
    faces[kNormal] = LoadSkinBitmap(normal);
    if (!faces[kNormal]) {
        Redraw();
        return false;
    }
    ids[kNormal] = normal;
    bool ok = true;
    const int wanted[] = {0, selected, focus, disabled};
    for (int slot = kSelected; slot <= kDisabled; ++slot) {
        if (wanted[slot] == 0) continue;
        faces[slot] = LoadSkinBitmap(wanted[slot]);
        if (faces[slot])
            ids[slot] = wanted[slot];
        else
            ok = false;
    }
    Redraw();
    return ok;
}

int CSkinButton::ChosenSlot(bool pressed, bool focused, bool disabled) const {
    if (!faces[kNormal]) return -1;
    if (pressed && faces[kSelected]) return kSelected;
    if (focused && faces[kFocus]) return kFocus;
    if (disabled && faces[kDisabled]) return kDisabled;
    return kNormal;
}

bool CSkinButton::OnReflected(unsigned message, std::uintptr_t, std::intptr_t lParam, std::intptr_t& result) {
    if (message != WM_DRAWITEM) return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    const RECT& r = item->rcItem;
    const int slot = ChosenSlot(item->itemState & ODS_SELECTED, item->itemState & ODS_FOCUS,
                                item->itemState & ODS_DISABLED);
    // Unscaled from the bitmap's top-left corner, cut to the button; no
    // caption, frame or focus rectangle (the bitmap carries them).
    BITMAP size{};
    if (slot < 0 || !::GetObjectW(faces[static_cast<std::size_t>(slot)], sizeof size, &size) ||
        size.bmWidth < r.right - r.left || size.bmHeight < r.bottom - r.top)
        ::FillRect(item->hDC, &r, ControlBrush());
    if (slot >= 0) {
        HDC source = ::CreateCompatibleDC(item->hDC);
        HGDIOBJ old = ::SelectObject(source, faces[static_cast<std::size_t>(slot)]);
        ::BitBlt(item->hDC, r.left, r.top, std::min<LONG>(r.right - r.left, size.bmWidth),
                 std::min<LONG>(r.bottom - r.top, size.bmHeight), source, 0, 0, SRCCOPY);
        ::SelectObject(source, old);
        ::DeleteDC(source);
    }
    result = TRUE;
    return true;
}
