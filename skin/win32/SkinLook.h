#pragma once
// The skin's fixed colours, its font, and its bitmaps and icons by resource
// id (the BITMAP and ICON resources of orn.exe, drawn by the same generator
// as the Qt build's).

#include "skin/SkinTypes.h"

struct HBITMAP__;
struct HBRUSH__;
struct HFONT__;
struct HICON__;

constexpr SkinColor kControlText{255, 255, 0};    // yellow
constexpr SkinColor kControlBrush{51, 51, 102};   // the controls' ground
constexpr SkinColor kListEvenRow{101, 101, 152};  // rows 0, 2, 4, ...
constexpr SkinColor kListOddRow{101, 101, 202};   // rows 1, 3, 5, ...
constexpr SkinColor kListSelectedTwo{151, 151, 202};
constexpr SkinColor kListSelectedSix{51, 51, 102};
constexpr SkinColor kComboItem{101, 101, 152};

unsigned long SkinRgb(SkinColor colour);  // a COLORREF

// The template font, "MS Sans Serif" 8 points, as the dialog manager makes it
// for the templates; where the Qt build's stand-in (Liberation Sans, 10
// pixels) is installed, as under Wine on Linux, that one, so that both builds
// draw the same texts alike. Shared: not to be deleted.
HFONT__* SkinFont();
HBRUSH__* ControlBrush();  // the control colour's brush, shared

// A bitmap resource by id (LoadImage, device-independent), null when there
// is none; the caller deletes it.
HBITMAP__* LoadSkinBitmap(int id);
// An icon resource by id at a size (0: the system's default), null when none.
// Shared (LR_SHARED): not to be destroyed.
HICON__* LoadSkinIcon(int id, int size = 0);

// True between BeginWaitCursor and its EndWaitCursor: the skin's windows
// show the hourglass (WM_SETCURSOR).
bool WaitCursorShown();
