#include "skin/qt/WindowRegion.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using Runs = std::vector<std::pair<int, int>>;  // [begin, end) of kept pixels

Runs RowRuns(const QRgb* line, int maskWidth, int windowWidth) {
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

QRegion BuildWindowRegion(const QImage& mask, QSize window) {
    const int w = window.width(), h = window.height();
    if (w <= 0 || h <= 0) return QRegion();
    const QImage m = mask.convertToFormat(QImage::Format_RGB32);
    const int mw = std::min(w, m.width()), mh = std::min(h, m.height());
    const Runs full{{0, w}};

    // Rows with equal runs are merged into one band of rectangles, which
    // keeps the region small for the usual masks (solid with shaped edges).
    std::vector<QRect> rects;
    Runs band;
    int bandTop = 0;
    auto flush = [&](int bottom) {
        for (const auto& [x0, x1] : band) rects.emplace_back(x0, bandTop, x1 - x0, bottom - bandTop);
    };
    for (int y = 0; y < h; ++y) {
        Runs runs = y < mh ? RowRuns(reinterpret_cast<const QRgb*>(m.constScanLine(y)), mw, w) : full;
        if (y == 0) {
            band = std::move(runs);
        } else if (runs != band) {
            flush(y);
            band = std::move(runs);
            bandTop = y;
        }
    }
    flush(h);
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}
