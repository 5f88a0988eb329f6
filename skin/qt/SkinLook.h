#pragma once
// The skin's fixed colours, its font, and its bitmaps and icons by resource id.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "skin/SkinTypes.h"

class QStyle;
class QWidget;

// Control colours common to every skinned window.
constexpr QRgb kControlTextRgb = qRgb(255, 255, 0);   // yellow
constexpr QRgb kControlBrushRgb = qRgb(51, 51, 102);  // the controls' ground
// Skinned list rows.
constexpr QRgb kListEvenRowRgb = qRgb(101, 101, 152);   // rows 0, 2, 4, ...
constexpr QRgb kListOddRowRgb = qRgb(101, 101, 202);    // rows 1, 3, 5, ...
constexpr QRgb kListSelectedTwoRgb = qRgb(151, 151, 202);
constexpr QRgb kListSelectedSixRgb = qRgb(51, 51, 102);
constexpr QRgb kListBackgroundRgb = qRgb(kListBackground.r, kListBackground.g, kListBackground.b);
// The rim of check and radio indicators, which are filled with the even-row
// colour: both stand out from the control brush.
constexpr QRgb kIndicatorRimRgb = qRgb(151, 151, 222);
// Unselected items of the skinned drop-down list.
constexpr QRgb kComboItemRgb = qRgb(101, 101, 152);

// The template font "MS Sans Serif" 8 points stands in as Liberation Sans,
// drawn at 10 pixels whatever the screen's dpi: its average character width
// there (5.8 pixels) matches the template font's dialog base unit of 6, so the
// templates' texts fit their controls as they were laid out (at 11 pixels,
// 8 points at 96 dpi, it runs wider than the old bitmap font and labels such
// as "Computer name:" would be cut). Controls are placed in pixels from
// dialog units, so no geometry depends on the font.
QFont SkinFont();

// Fusion, shared by every skinned control so that they look alike whatever
// style the application runs with; check and radio indicators are the skin's.
QStyle* SkinStyle();

// Yellow text on the (51, 51, 102) brush, for every kind of control.
void ApplyControlColours(QWidget* control);

// Bitmaps by resource id (":/bitmaps/ID.bmp"); null when there is none.
// Pixmaps are cached after the first load.
QPixmap LoadSkinBitmap(int id);
QImage LoadSkinBitmapImage(int id);  // not cached, in the file's own format

// Icon 128 in its sizes (":/icons/128-16.png" ...); null when there is none.
QIcon LoadSkinIcon(int id);
