#pragma once
// The shape of a skinned window: exactly the mask's non-black pixels inside
// the window rectangle (rows of runs combined into one region). Pixels
// outside the mask bitmap are never cut, so a window larger than its mask
// keeps its uncovered margin. The caller owns the region (SetWindowRgn takes it).

struct HRGN__;
struct HBITMAP__;

HRGN__* BuildWindowRegion(HBITMAP__* mask, int windowWidth, int windowHeight);
