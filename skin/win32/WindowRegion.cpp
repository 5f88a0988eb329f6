#include "skin/win32/Win32Api.h"

#include "skin/win32/WindowRegion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using Runs = std::vector<std::pair<int, int>>;  // [begin, end) of kept pixels

Runs RowRuns(const std::uint32_t* line, int maskWidth, int windowWidth) {
    Runs runs;
    int x = 0;
    while (x < maskWidth) {
        while (x < maskWidth && (line[x] & 0xffffffu) == 0) ++x;
        if (x == maskWidth) break;
        int begin = x;
        while (x < maskWidth && (line[x] & 0xffffffu) != 0) ++x;
        runs.emplace_back(begin, x);
    }
    if (windowWidth > maskWidth) {
        if (!runs.empty() && runs.back().second == maskWidth)
            runs.back().second = windowWidth;
        else
            runs.emplace_back(maskWidth, windowWidth);
    }
    return runs;
}

}  // namespace

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

    const int mw = std::min(w, static_cast<int>(info.bmWidth)), mh = std::min(h, static_cast<int>(info.bmHeight));
    const Runs full{{0, w}};
    // Rows with equal runs are merged into one band of rectangles, which
    // keeps the region small for the usual masks (solid with shaped edges);
    // the bands come top to bottom, as ExtCreateRegion wants them.
    std::vector<RECT> rects;
    Runs band;
    int bandTop = 0;
    auto flush = [&](int bottom) {
        for (const auto& [x0, x1] : band) rects.push_back(RECT{x0, bandTop, x1, bottom});
    };
    for (int y = 0; y < h; ++y) {
        Runs runs = y < mh ? RowRuns(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(info.bmWidth), mw, w) : full;
        if (y == 0) {
            band = std::move(runs);
        } else if (runs != band) {
            flush(y);
            band = std::move(runs);
            bandTop = y;
        }
    }
    flush(h);

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
