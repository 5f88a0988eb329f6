#pragma once
// The shape of a skinned window from its mask bitmap, whatever toolkit cuts
// it: exactly the mask's non-black pixels inside the window rectangle. Pixels
// outside the mask are never cut, so a window larger than its mask keeps its
// uncovered margin.

#include <cstdint>
#include <functional>
#include <vector>

struct MaskRect {
    int x, y, width, height;
};

// row(y) gives the mask's row y (y < maskHeight) as 32-bit pixels, black
// where the low 24 bits are 0. Rows with equal runs are merged into one band
// of rectangles, which keeps the region small for the usual masks (solid with
// shaped edges); the bands come top to bottom, each left to right.
std::vector<MaskRect> MaskRegionRects(int maskWidth, int maskHeight, int windowWidth, int windowHeight,
                                      const std::function<const std::uint32_t*(int y)>& row);
