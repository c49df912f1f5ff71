#pragma once

#include <QImage>
#include <numeric>
#include <vector>

// Rows [top, bottom) of column x in exactly `colour`, top to bottom; all rows by default.
inline std::vector<int> RowsOf(const QImage& image, int x, QRgb colour, int top = 0,
                               int bottom = -1)
{
    std::vector<int> rows;
    for (int y = top; y < (bottom < 0 ? image.height() : bottom); ++y)
        if (image.pixel(x, y) == colour)
            rows.push_back(y);
    return rows;
}

inline std::vector<int> RowRange(int first, int end)
{
    std::vector<int> rows(end - first);
    std::iota(rows.begin(), rows.end(), first);
    return rows;
}
