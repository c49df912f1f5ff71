#include "graph/Canvas.h"

#include "graph/ImageProbe.h"

#include <gtest/gtest.h>

using graph::Canvas;
using graph::PixelRect;
using test::Pixel;
using test::PixelsOf;

namespace {

constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Ink = qRgb(10, 20, 30);

QImage WhiteImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(White);
    return image;
}

std::set<Pixel> Row(int y, int fromX, int toX)
{
    std::set<Pixel> pixels;
    for (int x = fromX; x <= toX; ++x)
        pixels.emplace(x, y);
    return pixels;
}

std::set<Pixel> Column(int x, int fromY, int toY)
{
    std::set<Pixel> pixels;
    for (int y = fromY; y <= toY; ++y)
        pixels.emplace(x, y);
    return pixels;
}

struct Line {
    QPoint from;
    QPoint to;
    std::set<Pixel> drawn; // on an 8 x 6 image
};

void PrintTo(const Line& line, std::ostream* out)
{
    *out << line.from.x() << "," << line.from.y() << " to " << line.to.x() << "," << line.to.y();
}

class GraphCanvasLine : public ::testing::TestWithParam<Line> {};

TEST_P(GraphCanvasLine, CoversStartToEndExcludedClippedToTheImage)
{
    const Line line = GetParam();
    QImage image = WhiteImage(8, 6);
    Canvas canvas(image);
    canvas.SetPenColor(Ink);
    canvas.MoveTo(line.from.x(), line.from.y());
    canvas.LineTo(line.to.x(), line.to.y());
    EXPECT_EQ(PixelsOf(image, Ink), line.drawn);
}

INSTANTIATE_TEST_SUITE_P(
    , GraphCanvasLine,
    ::testing::Values(Line{{1, 2}, {5, 2}, Row(2, 1, 4)}, Line{{5, 2}, {1, 2}, Row(2, 2, 5)},
                      Line{{3, 0}, {3, 4}, Column(3, 0, 3)}, Line{{3, 4}, {3, 1}, Column(3, 2, 4)},
                      Line{{3, 3}, {3, 3}, {}}, Line{{-3, 1}, {20, 1}, Row(1, 0, 7)},
                      Line{{2, -10}, {2, 2}, Column(2, 0, 1)},
                      Line{{4, 40}, {4, 3}, Column(4, 4, 5)}, Line{{2, -5}, {2, -1}, {}},
                      Line{{-3, 2}, {-1, 2}, {}}));

TEST(GraphCanvas, PenStaysAtTheEndPointSoTheNextLineStartsThere)
{
    QImage image = WhiteImage(8, 6);
    Canvas canvas(image);
    canvas.SetPenColor(Ink);
    canvas.MoveTo(1, 1);
    canvas.LineTo(4, 1);
    canvas.LineTo(4, 4);
    std::set<Pixel> expected = Row(1, 1, 3);
    expected.merge(Column(4, 1, 3));
    EXPECT_EQ(PixelsOf(image, Ink), expected);
}

TEST(GraphCanvas, FillRectExcludesRightColumnAndBottomRowAndClips)
{
    QImage image = WhiteImage(8, 6);
    Canvas canvas(image);
    canvas.SetBrushColor(Ink);
    canvas.FillRect(PixelRect{1, 2, 4, 3});
    canvas.FillRect(PixelRect{-2, 4, 2, 10});
    canvas.SetPixel(7, 0, Ink);
    canvas.SetPixel(8, 0, Ink);
    canvas.SetPixel(0, -1, Ink);
    std::set<Pixel> expected = Row(2, 1, 3);
    expected.merge(Row(4, 0, 1));
    expected.merge(Row(5, 0, 1));
    expected.emplace(7, 0);
    EXPECT_EQ(PixelsOf(image, Ink), expected);
}

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

    Canvas canvas(image);
    canvas.CopyRect(destination, source);

    const QRect onImage = before.rect();
    const QPoint shift = destination - QPoint(source.left, source.top);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QPoint from = QPoint(x, y) - shift;
            const bool copied = onImage.contains(from) && from.x() >= source.left &&
                                from.x() < source.right && from.y() >= source.top &&
                                from.y() < source.bottom;
            EXPECT_EQ(image.pixel(x, y), copied ? before.pixel(from) : before.pixel(x, y))
                << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, GraphCanvasCopy,
                         ::testing::Values(Copy{{2, 0}, {3, 0, 12, 9}},  // scroll left
                                           Copy{{4, 1}, {3, 1, 11, 8}},  // right
                                           Copy{{0, 0}, {0, 1, 12, 9}},  // up
                                           Copy{{1, 3}, {0, 1, 10, 7}},  // down and right
                                           Copy{{-2, 6}, {0, 0, 12, 9}}, // off left and bottom
                                           Copy{{5, 2}, {-3, -2, 4, 4}}, // source partly off
                                           Copy{{0, 0}, {0, 0, 0, 9}})); // empty

TEST(GraphCanvas, TextStandsLeftOfTheReferencePointOnItsOpaqueCell)
{
    QImage image = WhiteImage(60, 30);
    Canvas canvas(image);
    canvas.SetFont("Arial", 12);
    canvas.SetBrushColor(qRgb(0, 0, 0));
    canvas.SetFontColor(Ink);
    const int width = canvas.TextWidth("1024");
    canvas.TextOutRightTop(50, 7, "1024");

    std::set<Pixel> cell;
    for (int y = 7; y < 7 + 12; ++y)
        for (int x = 50 - width; x < 50; ++x)
            cell.emplace(x, y);
    std::set<Pixel> touched = PixelsOf(image, qRgb(0, 0, 0));
    const std::set<Pixel> ink = PixelsOf(image, Ink);
    EXPECT_FALSE(ink.empty());
    touched.insert(ink.begin(), ink.end());
    EXPECT_EQ(touched, cell);
}

// fontconfig must map "Arial" to a metric-compatible face; other widths move the plot's left edge.
TEST(GraphCanvas, ArialCellOf12MeasuresLikeArial)
{
    QImage image = WhiteImage(1, 1);
    Canvas canvas(image);
    canvas.SetFont("Arial", 12);
    EXPECT_EQ(canvas.TextWidth("1024"), 24);
    EXPECT_EQ(canvas.TextWidth("1.02"), 21);
}

} // namespace
