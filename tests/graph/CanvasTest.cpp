#include "graph/Canvas.h"

#include <gtest/gtest.h>

using graph::Canvas;
using graph::PixelRect;

namespace {

constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Ink = qRgb(10, 20, 30);

struct Copy {
    QPoint destination;
    PixelRect source;
};

void PrintTo(const Copy& copy, std::ostream* out)
{
    const PixelRect& s = copy.source;
    *out << "[" << s.left << "," << s.right << ")x[" << s.top << "," << s.bottom << ") to "
         << copy.destination.x() << "," << copy.destination.y();
}

class GraphCanvasCopy : public ::testing::TestWithParam<Copy> {};

// Compared with a copy read from an untouched snapshot, where overlap cannot matter.
TEST_P(GraphCanvasCopy, OverlappingCopyEqualsACopyFromASnapshot)
{
    const auto [destination, source] = GetParam();
    QImage image(12, 9, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 20, y * 25, 7));
    const QImage before = image.copy();

    Canvas(image).CopyRect(destination, source);

    const QRect sourceOnImage =
        QRect(QPoint(source.left, source.top), QPoint(source.right - 1, source.bottom - 1)) &
        before.rect();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QPoint from = QPoint(x, y) - destination + QPoint(source.left, source.top);
            EXPECT_EQ(image.pixel(x, y),
                      before.pixel(sourceOnImage.contains(from) ? from : QPoint(x, y)))
                << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, GraphCanvasCopy,
                         ::testing::Values(Copy{{2, 0}, {3, 0, 12, 9}},    // one column left
                                           Copy{{1, 3}, {0, 1, 10, 7}},    // down and right
                                           Copy{{0, 0}, {0, 1, 12, 9}},    // up
                                           Copy{{-2, 6}, {0, 0, 12, 9}},   // off left and bottom
                                           Copy{{5, 2}, {-3, -2, 4, 4}})); // source partly off

// The labels' layout rests on this: right edge at x, top at y, a 12-pixel cell, Arial's widths.
TEST(GraphCanvas, TextStandsLeftOfTheReferencePointOnItsOpaqueCell)
{
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(White);
    Canvas canvas(image);
    canvas.SetFont("Arial", 12);
    canvas.SetBrushColor(Black);
    canvas.SetFontColor(Ink);
    ASSERT_EQ(canvas.TextWidth("1024"), 24) << "fontconfig must map Arial to a metric twin";
    ASSERT_EQ(canvas.TextWidth("1.02"), 21);
    canvas.TextOutRightTop(50, 7, "1024");

    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inCell = x >= 50 - 24 && x < 50 && y >= 7 && y < 7 + 12;
            const QRgb pixel = image.pixel(x, y);
            inked += pixel == Ink;
            EXPECT_TRUE(inCell ? pixel == Black || pixel == Ink : pixel == White)
                << "at " << x << "," << y;
        }
    }
    EXPECT_GT(inked, 20);
}

} // namespace
