#include "skin/qt/WindowRegion.h"

#include <vector>

#include "skin/MaskRegion.h"

QRegion BuildWindowRegion(const QImage& mask, QSize window) {
    const QImage m = mask.convertToFormat(QImage::Format_RGB32);
    const std::vector<MaskRect> runs =
        MaskRegionRects(m.width(), m.height(), window.width(), window.height(),
                        [&m](int y) { return reinterpret_cast<const std::uint32_t*>(m.constScanLine(y)); });
    if (runs.empty()) return QRegion();
    std::vector<QRect> rects;
    rects.reserve(runs.size());
    for (const MaskRect& r : runs) rects.emplace_back(r.x, r.y, r.width, r.height);
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}
