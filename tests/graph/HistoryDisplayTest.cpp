#include "graph/HistoryDisplay.h"

#include "TestEnvironment.h"
#include "graph/Canvas.h"
#include "graph/GraphScale.h"
#include "graph/HistBuffer.h"
#include "graph/HistoryImage.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <random>
#include <ranges>

namespace {

constexpr int Width = 199;
constexpr int Height = 111;
constexpr int Baseline = 104;
constexpr int GridRows[] = {104, 92, 80, 68, 55, 43, 31, 19, 6};
constexpr QRgb Black = qRgb(0, 0, 0), Grey = qRgb(96, 96, 96), Green = qRgb(0, 255, 0),
               Red = qRgb(255, 0, 0), LabelGreen = qRgb(0, 224, 0);

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

// Compared with a copy read from an untouched snapshot, where overlap cannot matter.
TEST(GraphCanvas, OverlappingCopiesEqualCopiesFromASnapshot)
{
    const std::pair<QPoint, graph::PixelRect> copies[] = {
        {{2, 0}, {3, 0, 12, 9}},   // one column left
        {{1, 3}, {0, 1, 10, 7}},   // down and right
        {{0, 0}, {0, 1, 12, 9}},   // up
        {{-2, 6}, {0, 0, 12, 9}},  // off left and bottom
        {{5, 2}, {-3, -2, 4, 4}}}; // source partly off
    for (const auto& [destination, source] : copies) {
        QImage image(12, 9, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x * 20, y * 25, 7));
        const QImage before = image.copy();
        graph::Canvas(image).CopyRect(destination, source);
        const QPoint origin(source.left, source.top);
        const QRect sourceOnImage =
            QRect(origin, QPoint(source.right - 1, source.bottom - 1)) & before.rect();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QPoint from = QPoint(x, y) - destination + origin;
                EXPECT_EQ(image.pixel(x, y),
                          before.pixel(sourceOnImage.contains(from) ? from : QPoint(x, y)))
                    << "at " << x << "," << y << " from " << origin.x() << "," << origin.y();
            }
        }
    }
}

// The labels' layout rests on this: right edge at x, top at y, a 12-pixel cell, Arial's widths.
TEST(GraphCanvas, TextStandsLeftOfTheReferencePointOnItsOpaqueCell)
{
    constexpr QRgb White = qRgb(255, 255, 255), Ink = qRgb(10, 20, 30);
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(White);
    graph::Canvas canvas(image);
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

struct Graph {
    graph::HistoryImage image{QSize(Width, Height)};
    THistoryDisplay display{image};

    const QImage& Pixels() const { return image.Image(); }
    void Apply(std::uint32_t historyScaling, std::uint32_t bandwidthRX, std::uint32_t bandwidthTX)
    {
        const auto scale = graph::ChooseGraphScale(historyScaling, bandwidthRX, bandwidthTX);
        display.SetScale(bandwidthRX, bandwidthTX, scale.labelMaxRX, scale.labelMaxTX,
                         scale.decimalLabels);
    }
};

// Labels as the display must lay them out, drawn with the same canvas primitives.
QImage ExpectedLabelColumns(const graph::GraphScale& scale)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Black);
    graph::Canvas canvas(image);
    canvas.SetFont("Arial", 12);
    canvas.SetBrushColor(Black);
    const auto text = [&](std::int32_t value) {
        return graph::LabelText(value, scale.decimalLabels);
    };
    const int widthTX = canvas.TextWidth(text(scale.labelMaxTX)) + 2;
    const int widthRX = canvas.TextWidth(text(scale.labelMaxRX)) + 2;
    const auto column = [&](int right, std::int32_t labelMax, QRgb colour) {
        canvas.SetFontColor(colour);
        for (int row = 0; row <= 8; ++row)
            canvas.TextOutRightTop(right, GridRows[row] - 5,
                                   text(graph::LabelValue(labelMax, row, 8)));
    };
    column(widthTX - 1, scale.labelMaxTX, Red);
    column(widthTX + widthRX - 1, scale.labelMaxRX, LabelGreen);
    return image.copy(0, 0, widthTX + widthRX, Height);
}

struct Unit {
    std::uint32_t historyScaling;
    std::uint32_t bandwidthRX;
    const char* caption;
    const char* labelsUpwards;
};

void PrintTo(const Unit& unit, std::ostream* out)
{
    *out << "HistoryScaling " << unit.historyScaling << " bandwidth " << unit.bandwidthRX;
}

class GraphDisplayUnit : public ::testing::TestWithParam<Unit> {};

// An empty plot on each unit: the caption, the receive labels from the baseline to the top, the
// send column at the left edge and the receive column next to the plot, and the plot black with
// a grey grid and a green baseline.
TEST_P(GraphDisplayUnit, CaptionLabelsAndEmptyGrid)
{
    const auto [historyScaling, bandwidth, caption, labels] = GetParam();
    const graph::GraphScale scale = graph::ChooseGraphScale(historyScaling, bandwidth, 8);
    EXPECT_STREQ(scale.caption, caption);
    EXPECT_EQ(graph::ChooseGraphScale(historyScaling, 8, bandwidth).labelMaxTX, scale.labelMaxRX);
    QStringList texts;
    for (int row = 0; row <= 8; ++row)
        texts << graph::LabelText(graph::LabelValue(scale.labelMaxRX, row, 8), scale.decimalLabels);
    EXPECT_EQ(texts.join(' '), labels);

    Graph graph;
    graph.Apply(historyScaling, bandwidth, 8);
    const QImage expected = ExpectedLabelColumns(scale);
    ASSERT_EQ(graph.display.PlotLeft(), expected.width());
    EXPECT_EQ(graph.Pixels().copy(0, 0, expected.width(), Height), expected);
    for (int x = expected.width(); x < Width; ++x) {
        // The newest column starts the ten-column cycle of vertical grid lines.
        std::vector<int> grey = (Width - 1 - x) % 10 == 0
                                    ? RowRange(3, Height - 3)
                                    : std::vector<int>(std::rbegin(GridRows), std::rend(GridRows));
        std::erase(grey, Baseline);
        EXPECT_EQ(RowsOf(graph.Pixels(), x, Grey), grey) << "x = " << x;
        EXPECT_EQ(RowsOf(graph.Pixels(), x, Green), std::vector<int>{Baseline}) << "x = " << x;
        EXPECT_EQ(RowsOf(graph.Pixels(), x, Black).size(), Height - grey.size() - 1) << "x = " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(
    , GraphDisplayUnit,
    ::testing::Values(
        Unit{0, 1024, "Traffic Graph [kBit/s]", "0 128 256 384 512 640 768 896 1024"},
        Unit{1, 1024, "Traffic Graph [kByte/s]", "0 16 32 48 64 80 96 112 128"},
        Unit{2, 1024, "Traffic Graph [MBit/s]", "0.00 0.12 0.25 0.38 0.51 0.64 0.76 0.89 1.02"},
        Unit{3, 1024, "Traffic Graph [MByte/s]", "0.00 0.01 0.03 0.04 0.06 0.08 0.09 0.11 0.12"},
        Unit{5, 1024, "Traffic Graph [MByte/s]", "0.00 0.01 0.03 0.04 0.06 0.08 0.09 0.11 0.12"},
        Unit{1, 8, "Traffic Graph [kByte/s]", "0 0 0 0 1 1 1 1 1"},
        Unit{0, 0, "Traffic Graph [kBit/s]", "0 0 0 0 0 0 0 0 0"},
        // Only a hand-edited store holds such bandwidths: they must not turn negative or overflow.
        Unit{1, 0xFFFFFFFF, "Traffic Graph [kByte/s]",
             "0 67108864 134217728 201326592 268435456 335544319 402653183 469762047 536870911"}));

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
    graph.display.SetScale(receive ? step.bandwidth : 77, receive ? 77 : step.bandwidth, 1, 1,
                           false);
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
    graph.Apply(0, 1024, 128);
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
        redraw ? graph.display.SetScale(8, 8, 1, 1, false) : graph.display.AddSample(700, 90);
        QCoreApplication::processEvents();
        EXPECT_GT(counter.paints, 0) << redraw;
        EXPECT_EQ(graph.image.grab().toImage().convertToFormat(QImage::Format_RGB32),
                  graph.Pixels());
    }
}

struct Scale {
    std::uint32_t historyScaling, bandwidthRX, bandwidthTX;
};

const Scale KBit{0, 1024, 128}, KByteNarrow{1, 8, 8}, MBitWide{2, 26000, 26000},
    MByte{3, 1024, 128}, Zero{0, 0, 0}, KBitSmall{0, 600, 90};

struct Replay {
    unsigned seed;
    int samples;
    std::vector<Scale> during; // applied one after another at even intervals while sampling
    Scale final;
};

void PrintTo(const Replay& replay, std::ostream* out)
{
    *out << "seed " << replay.seed << ", " << replay.samples << " samples";
}

class GraphRedrawReplay : public ::testing::TestWithParam<Replay> {};

// Rates around the two bandwidths with runs of repeats and zeros, overshoots and negatives, drawn
// on other scales and then redrawn on the final one, come out as if drawn on it all along.
TEST_P(GraphRedrawReplay, RedrawEqualsTheLivePathOnTheNewScale)
{
    const auto& [seed, samples, during, final] = GetParam();
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> rate(-100, 1400);
    std::vector<std::pair<std::int32_t, std::int32_t>> rates{{0, 0}};
    while (static_cast<int>(rates.size()) < samples) {
        const auto kind = random() % 4;
        rates.push_back(kind == 0   ? rates.back()
                        : kind == 1 ? std::pair{0, 0}
                                    : std::pair{rate(random), rate(random) / 8});
    }
    Graph live, rescaled;
    live.Apply(final.historyScaling, final.bandwidthRX, final.bandwidthTX);
    const std::size_t interval = rates.size() / during.size() + 1;
    int firstPlotLeft = 0;
    for (std::size_t i = 0; i < rates.size(); ++i) {
        live.display.AddSample(rates[i].first, rates[i].second);
        if (const Scale& s = during[i / interval]; i % interval == 0)
            rescaled.Apply(s.historyScaling, s.bandwidthRX, s.bandwidthTX);
        firstPlotLeft = i == 0 ? rescaled.display.PlotLeft() : firstPlotLeft;
        rescaled.display.AddSample(rates[i].first, rates[i].second);
    }
    rescaled.Apply(final.historyScaling, final.bandwidthRX, final.bandwidthTX);
    ASSERT_EQ(rescaled.display.PlotLeft(), live.display.PlotLeft());
    EXPECT_EQ(rescaled.display.GridPhase(), live.display.GridPhase());
    EXPECT_TRUE(rescaled.Pixels() == live.Pixels());
    // Guards the table: each row changes the scale, and with it the width of the labels.
    EXPECT_NE(firstPlotLeft, live.display.PlotLeft());
    // The ring keeps the newest samples, one per column, and yields 0 beyond them.
    const THistBuffer& history = live.display.HistoryRX();
    const int kept = std::min(samples, Width);
    EXPECT_EQ(history.Count(), kept);
    EXPECT_EQ(history.Head(), samples % Width);
    for (const int k : {-1, 0, 1, 2, kept, kept + 1})
        EXPECT_EQ(history.Recent(k), k >= 1 && k <= kept ? rates[samples - k].first : 0) << k;
}

INSTANTIATE_TEST_SUITE_P(, GraphRedrawReplay,
                         ::testing::Values(Replay{2, 450, {KByteNarrow, MByte}, KBit},
                                           Replay{3, 50, {KByteNarrow}, MBitWide},
                                           Replay{4, 199, {MBitWide}, KBit},
                                           Replay{5, 777, {KBit, MBitWide, KByteNarrow}, KBitSmall},
                                           Replay{6, 613, {MByte, Zero}, KBitSmall}));

} // namespace
