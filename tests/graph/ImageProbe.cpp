#include "graph/ImageProbe.h"

#include <numeric>

namespace test {

std::set<Pixel> PixelsOf(const QImage& image, QRgb colour)
{
    std::set<Pixel> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                pixels.emplace(x, y);
    return pixels;
}

std::vector<int> RowsOf(const QImage& image, int x, QRgb colour)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == colour)
            rows.push_back(y);
    return rows;
}

std::vector<int> RowRange(int first, int last)
{
    std::vector<int> rows(std::max(last - first, 0));
    std::iota(rows.begin(), rows.end(), first);
    return rows;
}

} // namespace test
