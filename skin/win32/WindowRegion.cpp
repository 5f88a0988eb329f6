#include "skin/win32/Win32Api.h"

#include "skin/win32/WindowRegion.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "skin/MaskRegion.h"

HRGN__* BuildWindowRegion(HBITMAP__* mask, int w, int h) {
    if (w <= 0 || h <= 0) return ::CreateRectRgn(0, 0, 0, 0);
    BITMAP info{};
    if (!mask || !::GetObjectW(mask, sizeof info, &info)) return ::CreateRectRgn(0, 0, w, h);
    // The mask's rows as 32-bit colours, top row first, whatever its depth
    // (the generated masks are one bit deep).
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(info.bmHeight));
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = info.bmWidth;
    format.bmiHeader.biHeight = -info.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, mask, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight) return ::CreateRectRgn(0, 0, w, h);

    const int stride = info.bmWidth;
    const std::vector<MaskRect> runs = MaskRegionRects(info.bmWidth, info.bmHeight, w, h, [&](int y) {
        return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    });
    // ExtCreateRegion takes the bands top to bottom, as they come.
    std::vector<RECT> rects;
    rects.reserve(runs.size());
    for (const MaskRect& r : runs) rects.push_back(RECT{r.x, r.y, r.x + r.width, r.y + r.height});

    std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATAHEADER header{};
    header.dwSize = sizeof header;
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(rects.size());
    header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header.rcBound = RECT{0, 0, w, h};
    std::memcpy(data.data(), &header, sizeof header);
    if (!rects.empty()) std::memcpy(data.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
}
