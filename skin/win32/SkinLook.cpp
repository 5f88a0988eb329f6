#include "skin/win32/Win32Api.h"

#include "skin/win32/SkinLook.h"

#include <cwchar>

unsigned long SkinRgb(SkinColor c) { return RGB(c.r, c.g, c.b); }

namespace {

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFamily(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

HFONT MakeSkinFont() {
    // Where the Linux build's face is installed (Wine on Linux), it is taken
    // at the Linux build's size, 10 pixels, so that both draw the same
    // texts alike; elsewhere the templates' own font, "MS Sans Serif" 8
    // points as the dialog manager sizes it for the screen.
    const bool linuxFace = HasFamily(L"Liberation Sans");
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const int height = linuxFace ? -10 : -::MulDiv(8, dpi, 72);
    return ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, linuxFace ? ANTIALIASED_QUALITY : DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, linuxFace ? L"Liberation Sans" : L"MS Sans Serif");
}

}  // namespace

HFONT__* SkinFont() {
    static HFONT font = MakeSkinFont();
    return font;
}

HBRUSH__* ControlBrush() {
    static HBRUSH brush = ::CreateSolidBrush(SkinRgb(kControlBrush));
    return brush;
}

HBITMAP__* LoadSkinBitmap(int id) {
    if (id <= 0) return nullptr;
    return static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

HICON__* LoadSkinIcon(int id, int size) {
    if (id <= 0) return nullptr;
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size,
                                           LR_SHARED | (size == 0 ? LR_DEFAULTSIZE : 0)));
}
