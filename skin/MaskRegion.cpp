#include "skin/MaskRegion.h"

#include <algorithm>
#include <utility>

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

std::vector<MaskRect> MaskRegionRects(int maskWidth, int maskHeight, int w, int h,
                                      const std::function<const std::uint32_t*(int y)>& row) {
    std::vector<MaskRect> rects;
    if (w <= 0 || h <= 0) return rects;
    const int mw = std::min(w, maskWidth), mh = std::min(h, maskHeight);
    const Runs full{{0, w}};
    Runs band;
    int bandTop = 0;
    auto flush = [&](int bottom) {
        for (const auto& [x0, x1] : band) rects.push_back({x0, bandTop, x1 - x0, bottom - bandTop});
    };
    for (int y = 0; y < h; ++y) {
        Runs runs = y < mh ? RowRuns(row(y), mw, w) : full;
        if (y == 0) {
            band = std::move(runs);
        } else if (runs != band) {
            flush(y);
            band = std::move(runs);
            bandTop = y;
        }
    }
    flush(h);
    return rects;
}
