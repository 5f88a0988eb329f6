#pragma once
// The shape of a skinned window: exactly the mask's non-black pixels inside
// the window rectangle. Pixels outside the mask bitmap are never cut, so a
// window larger than its mask keeps its uncovered margin.

#include <QImage>
#include <QRegion>
#include <QSize>

QRegion BuildWindowRegion(const QImage& mask, QSize window);
