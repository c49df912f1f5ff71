#include "graph/BarChart.h"

#include "TestEnvironment.h"
#include "graph/PixelRows.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t MB = 1000000;

TEST(ChartAxis, RoundStepsInTheLargestWholeUnit)
{
    const std::pair<std::uint64_t, const char*> rows[] = {
        {1000 * MB + 1, "1200000000: 0 300 MB 600 MB 900 MB 1200 MB"},
        {3000 * MB, "4000000000: 0 1 GB 2 GB 3 GB 4 GB"}};
    for (const auto& [highest, axis] : rows) {
        const graph::ChartAxis chosen = graph::ChooseChartAxis(highest);
        EXPECT_EQ(QString("%1: %2").arg(chosen.top).arg(chosen.labels.join(' ')), axis);
    }
}

// Bars of 90 + 10, 20 + 0 and 10 + 30 MB in three equal slots under a line at 50 MB, on an axis
// to 100 MB, 200 rows high: received rows at each bar's foot, transmitted rows on top, in
// proportion; the line across the whole plot, over the bars; the received colour in the legend
// above. At 200 % every row is two rows of pixels; without bars and line the plot shows none of
// their colours. The exact figures: in the tooltip of the bar under the mouse and, for every bar
// and the line, in the description a screen reader reads.
TEST(BarChart, StackedBarsTheLineAndTheirFigures)
{
    const auto picture = [](const graph::BarChart& chart, int scale) { // a screen at scale x 100 %
        QImage image(chart.size() * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        chart.Draw(painter, chart.size());
        return image;
    };
    graph::BarChart chart, empty;
    chart.SetBars({{"1", "01.12.2026", 90 * MB, 10 * MB},
                   {"2", "02.12.2026", 20 * MB, 0},
                   {"3", "03.12.2026", 10 * MB, 30 * MB}},
                  graph::ChartLine{"Even share of the limit", 50 * MB});
    chart.resize(400, 300);
    chart.resize(400, 500 - chart.PlotArea(chart.size()).height());
    empty.resize(chart.size());
    const QRect plot = chart.PlotArea(chart.size());
    ASSERT_EQ(plot.height(), 200);
    const std::array<std::pair<int, int>, 3> heights{{{180, 200}, {40, 40}, {20, 80}}};
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        const QImage image = picture(chart, scale), nothing = picture(empty, scale);
        const int base = (plot.bottom() + 1) * scale, top = plot.top() * scale,
                  line = base - 100 * scale;
        for (int i = 0; i < 3; ++i) {
            const int x = (plot.left() + (2 * i + 1) * plot.width() / 6) * scale;
            const auto [received, sum] = heights[i];
            std::vector<int> receivedRows = RowRange(base - received * scale, base);
            std::erase_if(receivedRows, [&](int y) { return y >= line && y < line + scale; });
            EXPECT_EQ(RowsOf(image, x, chart.ReceivedColor, top, base), receivedRows) << i;
            EXPECT_EQ(RowsOf(image, x, chart.TransmittedColor, top, base),
                      RowRange(base - sum * scale, base - received * scale))
                << i;
        }
        for (int x = plot.left() * scale; x < (plot.right() + 1) * scale; ++x) {
            ASSERT_EQ(RowsOf(image, x, chart.LineColor, top, base), RowRange(line, line + scale));
            for (const QRgb colour : {chart.ReceivedColor, chart.TransmittedColor, chart.LineColor})
                ASSERT_EQ(RowsOf(nothing, x, colour, top).size(), 0u) << x;
        }
        EXPECT_FALSE(RowsOf(image, plot.left() * scale + 1, chart.ReceivedColor, 0, top).empty());
    }

    const QPoint firstBar(plot.left() + plot.width() / 6, plot.center().y());
    QHelpEvent help(QEvent::ToolTip, firstBar, chart.mapToGlobal(firstBar));
    QApplication::sendEvent(&chart, &help);
    EXPECT_EQ(QToolTip::text(), "01.12.2026\nReceived: 90.000.000 Bytes\nTransmitted: "
                                "10.000.000 Bytes\nSum: 100.000.000 Bytes");
    EXPECT_EQ(chart.accessibleDescription(),
              "01.12.2026: received 90.000.000 Bytes, transmitted 10.000.000 Bytes\n"
              "02.12.2026: received 20.000.000 Bytes, transmitted 0 Bytes\n"
              "03.12.2026: received 10.000.000 Bytes, transmitted 30.000.000 Bytes\n"
              "Even share of the limit: 50.000.000 Bytes");
}

} // namespace
