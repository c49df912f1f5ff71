#include "graph/HistoryDisplay.h"

#include "graph/Canvas.h"
#include "graph/GraphScale.h"
#include "graph/HistBuffer.h"
#include "graph/HistoryImage.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <ranges>

namespace {

constexpr int Width = 199;
constexpr int Height = 111;
constexpr int Baseline = 104;
constexpr int GridRows[] = {104, 92, 80, 68, 55, 43, 31, 19, 6};

constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Grey = qRgb(96, 96, 96);
constexpr QRgb Green = qRgb(0, 255, 0);
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb LabelGreen = qRgb(0, 224, 0);

// Rows of column x in exactly `colour`, top to bottom.
std::vector<int> RowsOf(const QImage& image, int x, QRgb colour)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == colour)
            rows.push_back(y);
    return rows;
}

std::vector<int> RowRange(int first, int end)
{
    const auto rows = std::views::iota(first, end);
    return {rows.begin(), rows.end()};
}

struct Graph {
    graph::HistoryImage image{QSize(Width, Height)};
    THistoryDisplay display{image};

    const QImage& Pixels() const { return image.Image(); }
};

// Labels as the display must lay them out, drawn with the same canvas primitives.
QImage ExpectedLabelColumns(std::int32_t labelMaxRX, std::int32_t labelMaxTX, bool decimal)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Black);
    graph::Canvas canvas(image);
    canvas.SetFont("Arial", 12);
    canvas.SetBrushColor(Black);
    const int widthTX = canvas.TextWidth(graph::LabelText(labelMaxTX, decimal)) + 2;
    const int widthRX = canvas.TextWidth(graph::LabelText(labelMaxRX, decimal)) + 2;
    const auto column = [&](int right, std::int32_t labelMax, QRgb colour) {
        canvas.SetFontColor(colour);
        for (int row = 0; row <= 8; ++row)
            canvas.TextOutRightTop(right, GridRows[row] - 5,
                                   graph::LabelText(graph::LabelValue(labelMax, row, 8), decimal));
    };
    column(widthTX - 1, labelMaxTX, Red);
    column(widthTX + widthRX - 1, labelMaxRX, LabelGreen);
    return image.copy(0, 0, widthTX + widthRX, Height);
}

class GraphDisplayLabels : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(GraphDisplayLabels, SendColumnAtTheLeftEdgeReceiveColumnNextToThePlot)
{
    const graph::GraphScale scale = graph::ChooseGraphScale(GetParam(), 1024, 8);
    Graph graph;
    graph.display.SetScale(1024, 8, scale.labelMaxRX, scale.labelMaxTX, scale.decimalLabels);

    const QImage expected =
        ExpectedLabelColumns(scale.labelMaxRX, scale.labelMaxTX, scale.decimalLabels);
    ASSERT_EQ(graph.display.PlotLeft(), expected.width());
    EXPECT_EQ(graph.Pixels().copy(0, 0, expected.width(), Height), expected);
}

INSTANTIATE_TEST_SUITE_P(, GraphDisplayLabels, ::testing::Values(0u, 1u, 2u, 3u));

TEST(GraphDisplay, EmptyPlotIsBlackWithGreyGridAndGreenBaseline)
{
    Graph graph;
    graph.display.SetScale(1024, 128, 1024, 128, false);

    const int plotLeft = graph.display.PlotLeft();
    ASSERT_GT(plotLeft, 0);
    for (int x = plotLeft; x < Width; ++x) {
        // The newest column starts the ten-column cycle of vertical grid lines.
        const bool verticalGridLine = (Width - 1 - x) % 10 == 0;
        std::vector<int> grey = verticalGridLine
                                    ? RowRange(3, Height - 3)
                                    : std::vector<int>(std::rbegin(GridRows), std::rend(GridRows));
        std::erase(grey, Baseline);
        EXPECT_EQ(RowsOf(graph.Pixels(), x, Grey), grey) << "x = " << x;
        EXPECT_EQ(RowsOf(graph.Pixels(), x, Green), std::vector<int>{Baseline}) << "x = " << x;
        EXPECT_EQ(RowsOf(graph.Pixels(), x, Black).size(), Height - grey.size() - 1) << "x = " << x;
    }
}

struct Step {
    std::int32_t bandwidth;
    std::vector<std::int32_t> samples;
    std::vector<int> strokeColumn; // curve rows in x = width - 2 after the last sample
    std::vector<int> newestColumn; // curve rows in x = width - 1
};

void PrintTo(const Step& step, std::ostream* out)
{
    *out << "bandwidth " << step.bandwidth << " samples " << ::testing::PrintToString(step.samples);
}

// The curve's rows in the two newest columns; the other direction stays at 0 on a different
// bandwidth, so mixing up the directions shows.
class GraphDisplayStep : public ::testing::TestWithParam<std::tuple<Step, bool>> {};

TEST_P(GraphDisplayStep, CurveRowsOfTheNewestSample)
{
    const auto& [step, receive] = GetParam();
    Graph graph;
    if (receive)
        graph.display.SetScale(step.bandwidth, 77, 1, 1, false);
    else
        graph.display.SetScale(77, step.bandwidth, 1, 1, false);
    for (std::int32_t sample : step.samples)
        graph.display.AddSample(receive ? sample : 0, receive ? 0 : sample);

    // The receive curve at 0 covers the send curve on the baseline.
    const auto visible = [&](std::vector<int> rows) {
        if (!receive)
            std::erase(rows, Baseline);
        return rows;
    };
    const QRgb colour = receive ? Green : Red;
    EXPECT_EQ(RowsOf(graph.Pixels(), Width - 2, colour), visible(step.strokeColumn));
    EXPECT_EQ(RowsOf(graph.Pixels(), Width - 1, colour), visible(step.newestColumn));
}

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();

const Step Steps[] = {
    // The full scale lies on the top grid line; the stroke rises from the baseline.
    {1024, {1024}, RowRange(6, Baseline + 1), {6}},
    {1024, {512}, RowRange(55, Baseline + 1), {55}},
    {1024, {2048}, RowRange(0, Baseline + 1), {}},
    {1024, {-1024}, RowRange(Baseline, Height), {}},
    {1024, {512, 512}, {55}, {55}},
    {1024, {1024, 512}, RowRange(6, 56), {55}},
    {1024, {2048, 2048}, {}, {}},
    {8, {Int32Max, Int32Min}, RowRange(0, Height), {}},
    // A full scale of 0 (or one read as negative): any traffic is beyond it.
    {0, {0}, {Baseline}, {Baseline}},
    {0, {1}, RowRange(0, Baseline + 1), {}},
    {0, {-1}, RowRange(Baseline, Height), {}},
    {0, {5, 0}, RowRange(0, Baseline + 1), {Baseline}},
    {-1, {5}, RowRange(0, Baseline + 1), {}},
};

INSTANTIATE_TEST_SUITE_P(, GraphDisplayStep,
                         ::testing::Combine(::testing::ValuesIn(Steps), ::testing::Bool()));

// Both ways of drawing must have the widget repainted with the new pixels.
TEST(GraphHistoryImage, RepaintsWithWhatWasDrawn)
{
    Graph graph;
    graph.display.SetScale(1024, 128, 1024, 128, false);
    graph.image.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph.image));
    QCoreApplication::processEvents();

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    graph.image.installEventFilter(&counter);
    for (const bool redraw : {false, true}) {
        counter.paints = 0;
        if (redraw)
            graph.display.SetScale(8, 8, 1, 1, false);
        else
            graph.display.AddSample(700, 90);
        QCoreApplication::processEvents();
        EXPECT_GT(counter.paints, 0) << redraw;
        EXPECT_EQ(graph.image.grab().toImage().convertToFormat(QImage::Format_RGB32),
                  graph.Pixels());
    }
}

// A ring of 5 after `pushes` samples numbered 1000, 1001, ...: every value tells its age.
TEST(GraphHistBuffer, RecentYieldsTheKthNewestAndZeroOutOfRange)
{
    for (const int pushes : {0, 1, 4, 5, 6, 17}) {
        SCOPED_TRACE(pushes);
        THistBuffer buffer(5);
        for (int i = 0; i < pushes; ++i)
            buffer.Push(1000 + i);
        const int kept = std::min(pushes, 5);
        EXPECT_EQ(buffer.Count(), kept);
        EXPECT_EQ(buffer.Head(), pushes % 5);
        for (int k = 1; k <= kept; ++k)
            EXPECT_EQ(buffer.Recent(k), 1000 + pushes - k) << "k = " << k;
        for (int k : {-1, 0, kept + 1})
            EXPECT_EQ(buffer.Recent(k), 0) << "k = " << k;
    }
}

struct Unit {
    std::uint32_t historyScaling;
    std::uint32_t bandwidth;
    const char* caption;
    std::array<const char*, 9> labelsUpwards;
};

void PrintTo(const Unit& unit, std::ostream* out)
{
    *out << "HistoryScaling " << unit.historyScaling << " bandwidth " << unit.bandwidth;
}

class GraphScaleUnit : public ::testing::TestWithParam<Unit> {};

TEST_P(GraphScaleUnit, CaptionAndLabelsFromBaselineToTop)
{
    const Unit unit = GetParam();
    const graph::GraphScale scale =
        graph::ChooseGraphScale(unit.historyScaling, unit.bandwidth, unit.bandwidth);
    EXPECT_STREQ(scale.caption, unit.caption);
    for (int row = 0; row <= 8; ++row)
        EXPECT_EQ(
            graph::LabelText(graph::LabelValue(scale.labelMaxTX, row, 8), scale.decimalLabels),
            unit.labelsUpwards[row])
            << "row " << row;
}

constexpr const char* KBit = "Traffic Graph [kBit/s]";
constexpr const char* KByte = "Traffic Graph [kByte/s]";
constexpr const char* MBit = "Traffic Graph [MBit/s]";
constexpr const char* MByte = "Traffic Graph [MByte/s]";

INSTANTIATE_TEST_SUITE_P(
    , GraphScaleUnit,
    ::testing::Values(
        Unit{0, 1024, KBit, {"0", "128", "256", "384", "512", "640", "768", "896", "1024"}},
        Unit{1, 1024, KByte, {"0", "16", "32", "48", "64", "80", "96", "112", "128"}},
        Unit{2,
             1024,
             MBit,
             {"0.00", "0.12", "0.25", "0.38", "0.51", "0.64", "0.76", "0.89", "1.02"}},
        Unit{3,
             1024,
             MByte,
             {"0.00", "0.01", "0.03", "0.04", "0.06", "0.08", "0.09", "0.11", "0.12"}},
        Unit{5,
             1024,
             MByte,
             {"0.00", "0.01", "0.03", "0.04", "0.06", "0.08", "0.09", "0.11", "0.12"}},
        Unit{1, 8, KByte, {"0", "0", "0", "0", "1", "1", "1", "1", "1"}},
        Unit{0, 0, KBit, {"0", "0", "0", "0", "0", "0", "0", "0", "0"}}));

// Only a hand-edited store holds such bandwidths; they must not turn negative or overflow.
TEST(GraphScale, HugeBandwidthsShiftUnsignedAndLabelWithoutOverflow)
{
    EXPECT_EQ(graph::ChooseGraphScale(1, 0xFFFFFFFF, 0).labelMaxRX, 0x1FFFFFFF);
    EXPECT_EQ(graph::LabelValue(0x7FFFFFFF, 4, 8), 0x40000000);
}

} // namespace
