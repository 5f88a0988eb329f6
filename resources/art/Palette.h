#pragma once
// Turns the generator's true-colour drawings into the bitmap formats the
// windows load: 8-bit palette backgrounds and 1-bit masks.

#include <QImage>

// Median-cut palette of at most 256 colours made from the image itself, each
// pixel mapped to its nearest entry. Deterministic for a given image.
QImage ToIndexed8(const QImage& image);

// Black where the image is black, white everywhere else; index 0 is black.
QImage ToMono(const QImage& image);
