// The Windows sample: the same windows as orn-skin-sample's (SkinSample.h),
// one after the other in one process (each start of a window program under
// Wine costs seconds), each shown on the screen and saved as it appears
// there, beside what the comparison with the Linux picture needs:
//   orn-skin-sample.exe TEMPLATE[,hex] PREFIX ...
// PREFIX.bmp       the window's rectangle as the screen shows it
// PREFIX-area.bmp  black outside the window region (GetWindowRgn), white
//                  over the background bitmap and owner-drawn buttons, grey
//                  over the controls that draw text (fonts differ), silver
//                  over a closed drop-down list showing no item (all frame)
#include "skin/win32/Win32Api.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/msgbox/MessageBox.h"
#include "platform/win32/WideText.h"
#include "tests/ui/SkinSample.h"

namespace {

CSkinDialog* sample;
std::wstring prefix;
int status = 0;

// A 24-bit bitmap: the fourth byte of 32-bit ones is alpha to some viewers.
bool WriteBmp(const std::wstring& path, int width, int height, const std::vector<std::uint32_t>& pixels) {
    const int stride = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> rows(std::size_t(stride) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) rows[std::size_t(y) * stride + 3 * x + c] = std::uint8_t(pixels[y * width + x] >> (8 * c));
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;  // top-down
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = DWORD(file.bfOffBits + rows.size());
    std::FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    const bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info, sizeof info, 1, f) == 1 &&
                    std::fwrite(rows.data(), 1, rows.size(), f) == rows.size();
    return std::fclose(f) == 0 && ok;
}

// The window's pixels from the screen, as the user sees them.
std::vector<std::uint32_t> ScreenPixels(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<std::uint32_t*>(bits), static_cast<std::uint32_t*>(bits) + w * h);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

BOOL CALLBACK MarkTextControl(HWND child, LPARAM context) {
    auto* area = reinterpret_cast<std::pair<RECT, std::vector<std::uint32_t>*>*>(context);
    wchar_t kind[64] = {};
    GetClassNameW(child, kind, 64);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (!IsWindowVisible(child) || (_wcsicmp(kind, L"Button") == 0 && (style & BS_TYPEMASK) == BS_OWNERDRAW))
        return TRUE;
    const bool face = _wcsicmp(kind, L"ComboBox") == 0 && SendMessageW(child, CB_GETCURSEL, 0, 0) == CB_ERR;
    RECT c;
    GetWindowRect(child, &c);
    const int w = area->first.right - area->first.left, h = area->first.bottom - area->first.top;
    for (int y = std::max(0L, c.top - area->first.top); y < std::min<LONG>(h, c.bottom - area->first.top); ++y)
        for (int x = std::max(0L, c.left - area->first.left); x < std::min<LONG>(w, c.right - area->first.left); ++x)
            if ((*area->second)[y * w + x]) (*area->second)[y * w + x] = face ? 0xC0C0C0 : 0x808080;
    return TRUE;
}

void CALLBACK Grab(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND window = sample->Handle();
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const bool shaped = GetWindowRgn(window, region) != ERROR;
    std::vector<std::uint32_t> area(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) area[y * w + x] = !shaped || PtInRegion(region, x, y) ? 0xFFFFFF : 0;
    DeleteObject(region);
    std::pair<RECT, std::vector<std::uint32_t>*> context{r, &area};
    EnumChildWindows(window, MarkTextControl, reinterpret_cast<LPARAM>(&context));
    const bool written = WriteBmp(prefix + L".bmp", w, h, ScreenPixels(r)) && WriteBmp(prefix + L"-area.bmp", w, h, area);
    if (!shaped || !written) status = 1;
    if (!shaped) std::fprintf(stderr, "%ls: the window has no region\n", prefix.c_str());
    sample->EndDialog(IDCANCEL);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: orn-skin-sample.exe TEMPLATE[,hex] PREFIX ...\n");
        return 2;
    }
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageBoxPresenter(ShowWin32MessageBox);
    for (int i = 1; i + 1 < argc; i += 2) {
        std::unique_ptr<CSkinDialog> window = MakeSampleWindow(_wtoi(argv[i]), std::wcsstr(argv[i], L",hex") != nullptr);
        sample = window.get();
        prefix = argv[i + 1];
        // Time to be shown and painted on the X server before the grab.
        SetTimer(nullptr, 0, 1000, Grab);
        window->DoModal();
    }
    return status;
}
