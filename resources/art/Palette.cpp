#include "resources/art/Palette.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace {

struct Entry {
    QRgb colour;
    std::int64_t count;
};

int Channel(QRgb c, int ch) { return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c); }

struct Box {
    std::vector<Entry> entries;
    int WidestChannel(int* range) const {
        int best = 0, bestRange = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (const Entry& e : entries) {
                lo = std::min(lo, Channel(e.colour, ch));
                hi = std::max(hi, Channel(e.colour, ch));
            }
            if (hi - lo > bestRange) bestRange = hi - lo, best = ch;
        }
        *range = bestRange;
        return best;
    }
    QRgb Average() const {
        std::int64_t r = 0, g = 0, b = 0, n = 0;
        for (const Entry& e : entries) {
            r += qRed(e.colour) * e.count;
            g += qGreen(e.colour) * e.count;
            b += qBlue(e.colour) * e.count;
            n += e.count;
        }
        return qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
    }
};

std::vector<QRgb> MedianCut(std::vector<Entry> colours) {
    std::vector<Box> boxes{Box{std::move(colours)}};
    while (boxes.size() < 256) {
        // Split the box with the widest spread that still holds two colours.
        int pick = -1, pickRange = 0, pickChannel = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].entries.size() < 2) continue;
            int range;
            int ch = boxes[i].WidestChannel(&range);
            if (range > pickRange) pick = int(i), pickRange = range, pickChannel = ch;
        }
        if (pick < 0) break;
        std::vector<Entry>& e = boxes[pick].entries;
        std::sort(e.begin(), e.end(), [pickChannel](const Entry& a, const Entry& b) {
            int ca = Channel(a.colour, pickChannel), cb = Channel(b.colour, pickChannel);
            return ca != cb ? ca < cb : a.colour < b.colour;
        });
        std::int64_t total = 0, half = 0;
        for (const Entry& x : e) total += x.count;
        size_t cut = 0;
        while (cut + 1 < e.size() && (half += e[cut].count) * 2 < total) ++cut;
        cut = std::clamp<size_t>(cut + 1, 1, e.size() - 1);
        Box upper{std::vector<Entry>(e.begin() + long(cut), e.end())};
        e.resize(cut);
        boxes.push_back(std::move(upper));
    }
    std::vector<QRgb> palette;
    for (const Box& b : boxes) palette.push_back(b.Average());
    return palette;
}

}  // namespace

QImage ToIndexed8(const QImage& image) {
    QImage src = image.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, std::int64_t> histogram;
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x) ++histogram[line[x] | 0xff000000u];
    }
    std::vector<Entry> colours;
    for (const auto& [c, n] : histogram) colours.push_back({c, n});

    std::vector<QRgb> palette;
    if (colours.size() <= 256) {
        for (const Entry& e : colours) palette.push_back(e.colour);
    } else {
        palette = MedianCut(colours);
    }

    std::map<QRgb, int> index;
    for (const Entry& e : colours) {
        int best = 0;
        long bestDist = -1;
        for (size_t i = 0; i < palette.size(); ++i) {
            long dr = qRed(e.colour) - qRed(palette[i]), dg = qGreen(e.colour) - qGreen(palette[i]),
                 db = qBlue(e.colour) - qBlue(palette[i]);
            long d = dr * dr + dg * dg + db * db;
            if (bestDist < 0 || d < bestDist) bestDist = d, best = int(i);
        }
        index[e.colour] = best;
    }

    QImage out(src.size(), QImage::Format_Indexed8);
    out.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x) dst[x] = uchar(index[line[x] | 0xff000000u]);
    }
    return out;
}

QImage ToMono(const QImage& image) {
    QImage src = image.convertToFormat(QImage::Format_RGB32);
    QImage out(src.size(), QImage::Format_Mono);
    out.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    out.fill(0);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            if ((src.pixel(x, y) & 0xffffffu) != 0) out.setPixel(x, y, 1);
    return out;
}
