#pragma once

#include <QImage>
#include <set>
#include <utility>
#include <vector>

namespace test {

using Pixel = std::pair<int, int>; // x, y

// Every pixel of `image` in exactly `colour`.
std::set<Pixel> PixelsOf(const QImage& image, QRgb colour);

// Rows of column x in exactly `colour`, top to bottom.
std::vector<int> RowsOf(const QImage& image, int x, QRgb colour);

// Rows first to last - 1.
std::vector<int> RowRange(int first, int last);

} // namespace test
