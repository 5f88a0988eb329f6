#pragma once
// The shape of a skinned window: exactly the mask's non-black pixels inside
// the window rectangle, by the rule of skin/MaskRegion.h. The caller owns the
// region (SetWindowRgn takes it).

struct HRGN__;
struct HBITMAP__;

HRGN__* BuildWindowRegion(HBITMAP__* mask, int windowWidth, int windowHeight);
