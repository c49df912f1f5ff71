#include "graph/BarChart.h"

#include "TestEnvironment.h"
#include "graph/PixelRows.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr std::uint64_t MB = 1000000;
constexpr QRgb Received = graph::BarChart::ReceivedColor,
               Transmitted = graph::BarChart::TransmittedColor, Line = graph::BarChart::LineColor;

using test::RowRange;
using test::RowsOf;

// Middle columns of the runs of `colour` along row y.
std::vector<int> RunMiddles(const QImage& image, int y, QRgb colour)
{
    std::vector<int> middles;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != colour)
            continue;
        const int first = x;
        while (x < image.width() && image.pixel(x, y) == colour)
            ++x;
        middles.push_back((first + x - 1) / 2);
    }
    return middles;
}

int CountOf(const QImage& image, QRgb colour, int top, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

// A chart whose plot is 200 logical pixels high: a megabyte is two pixel rows at 100 MB.
struct Chart {
    graph::BarChart widget;
    QRect plot;

    void Set(std::vector<graph::ChartBar> bars, std::optional<graph::ChartLine> line)
    {
        widget.SetBars(std::move(bars), std::move(line));
        widget.resize(400, 300);
        widget.resize(400, 500 - widget.PlotArea(widget.size()).height());
        plot = widget.PlotArea(widget.size());
    }
    QImage Picture(int scale)
    {
        if (scale == 1)
            return widget.grab().toImage(); // as the window paints it
        QImage image(widget.size() * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        widget.Draw(painter, widget.size());
        return image;
    }
};

TEST(ChartAxis, RoundStepsInTheLargestWholeUnit)
{
    const std::pair<std::uint64_t, const char*> rows[] = {
        {0, "4000: 0 1 kB 2 kB 3 kB 4 kB"},
        {4001, "8000: 0 2 kB 4 kB 6 kB 8 kB"},
        {987654321, "1000000000: 0 250 MB 500 MB 750 MB 1000 MB"},
        {1000000001, "1200000000: 0 300 MB 600 MB 900 MB 1200 MB"},
        {1250 * MB, "1600000000: 0 400 MB 800 MB 1200 MB 1600 MB"},
        {3 * 1000 * MB, "4000000000: 0 1 GB 2 GB 3 GB 4 GB"},
        {std::numeric_limits<std::uint64_t>::max(),
         "1000000000000000000: 0 250000000 GB 500000000 GB 750000000 GB 1000000000 GB"}};
    for (const auto& [highest, axis] : rows) {
        const graph::ChartAxis chosen = graph::ChooseChartAxis(highest);
        EXPECT_EQ(QString("%1: %2").arg(chosen.top).arg(chosen.labels.join(' ')), axis)
            << highest << " " << axis;
    }
}

// Bars of 90 + 10, 20 + 0 and 10 + 30 MB under a line at 50 MB on an axis up to 100 MB: each
// bar's received rows at its foot, its transmitted rows on top, in proportion; the line across
// the whole plot, over the bars; both colours in the legend above the plot. At 200 % every row
// is two rows of pixels.
TEST(BarChart, StackedBarsAndTheLineByPixelRows)
{
    Chart chart;
    chart.Set({{"1", "01.12.2026", 90 * MB, 10 * MB},
               {"2", "02.12.2026", 20 * MB, 0},
               {"3", "03.12.2026", 10 * MB, 30 * MB}},
              graph::ChartLine{"Even share of the limit", 50 * MB});
    ASSERT_EQ(chart.plot.height(), 200);
    // Received rows from the baseline, then transmitted rows above them, per bar.
    const std::array<std::pair<int, int>, 3> heights{{{180, 200}, {40, 40}, {20, 80}}};
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        const QImage image = chart.Picture(scale);
        const int base = (chart.plot.bottom() + 1) * scale, top = chart.plot.top() * scale,
                  line = base - 100 * scale;
        const std::vector<int> bars = RunMiddles(image, base - 1, Received);
        ASSERT_EQ(bars.size(), 3u);
        for (std::size_t i = 0; i < bars.size(); ++i) {
            const auto [received, sum] = heights[i];
            std::vector<int> receivedRows = RowRange(base - received * scale, base);
            std::erase_if(receivedRows, [&](int y) { return y >= line && y < line + scale; });
            EXPECT_EQ(RowsOf(image, bars[i], Received, top, base), receivedRows) << i;
            EXPECT_EQ(RowsOf(image, bars[i], Transmitted, top, base),
                      RowRange(base - sum * scale, base - received * scale))
                << i;
        }
        for (int x = chart.plot.left() * scale; x < (chart.plot.right() + 1) * scale; ++x)
            ASSERT_EQ(RowsOf(image, x, Line, top, base), RowRange(line, line + scale)) << x;
        EXPECT_GT(CountOf(image, Received, 0, top), 0);
        EXPECT_GT(CountOf(image, Transmitted, 0, top), 0);
        EXPECT_EQ(CountOf(image, Received, base, image.height()), 0);
    }
}

// No bars: a plot with neither bars nor line, the legend still naming both colours.
TEST(BarChart, EmptyChart)
{
    Chart chart;
    chart.Set({}, std::nullopt);
    for (const int scale : {1, 2}) {
        const QImage image = chart.Picture(scale);
        const int top = chart.plot.top() * scale;
        for (const QRgb colour : {Received, Transmitted, Line})
            EXPECT_EQ(CountOf(image, colour, top, image.height()), 0) << scale;
        EXPECT_GT(CountOf(image, Transmitted, 0, top), 0) << scale;
    }
    EXPECT_EQ(chart.widget.accessibleDescription(), "");
}

// The exact figures: in the tooltip of the bar under the mouse (none beside the plot) and, for
// every bar and the line, in the description a screen reader reads.
TEST(BarChart, FiguresInTooltipsAndForScreenReaders)
{
    Chart chart;
    chart.Set({{"11.2026", "01.11.2026 to 01.12.2026", 812345678, 12345},
               {"12.2026", "01.12.2026 to 01.01.2027", 0, 0}},
              graph::ChartLine{"Limit", 1000 * MB});
    chart.widget.show();
    const auto tipAt = [&](QPoint point) {
        QHelpEvent help(QEvent::ToolTip, point, chart.widget.mapToGlobal(point));
        QApplication::sendEvent(&chart.widget, &help);
        return help.isAccepted() ? QToolTip::text() : QString();
    };
    const QPoint firstSlot(chart.plot.left() + chart.plot.width() / 4, chart.plot.center().y());
    EXPECT_EQ(tipAt(firstSlot), "01.11.2026 to 01.12.2026\nReceived: 812.345.678 Bytes\n"
                                "Transmitted: 12.345 Bytes\nSum: 812.358.023 Bytes");
    EXPECT_EQ(tipAt(firstSlot + QPoint(chart.plot.width() / 2, 0)),
              "01.12.2026 to 01.01.2027\nReceived: 0 Bytes\nTransmitted: 0 Bytes\nSum: 0 Bytes");
    EXPECT_EQ(tipAt(QPoint(chart.plot.left() - 2, chart.plot.center().y())), "");
    EXPECT_EQ(chart.widget.accessibleDescription(),
              "01.11.2026 to 01.12.2026: received 812.345.678 Bytes, transmitted 12.345 Bytes\n"
              "01.12.2026 to 01.01.2027: received 0 Bytes, transmitted 0 Bytes\n"
              "Limit: 1.000.000.000 Bytes");
}

} // namespace
