#include "graph/HistoryDisplay.h"

#include "TestEnvironment.h"
#include "graph/Canvas.h"
#include "graph/GraphScale.h"
#include "graph/HistoryImage.h"
#include "graph/PixelRows.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {

constexpr int Width = 199, Height = 111, Baseline = 104;
constexpr int GridRows[] = {6, 19, 31, 43, 55, 68, 80, 92, 104};
constexpr QRgb Black = qRgb(0, 0, 0), Grey = qRgb(96, 96, 96), Green = qRgb(0, 255, 0),
               Red = qRgb(255, 0, 0), LabelGreen = qRgb(0, 224, 0);

// Text with its right edge at x and its top at y on its opaque 12-pixel cell, with the widths of
// Arial that the labels' layout rests on.
TEST(GraphCanvas, TextLeftOfTheReferencePoint)
{
    constexpr QRgb White = qRgb(255, 255, 255), Ink = qRgb(10, 20, 30);
    QImage text(60, 30, QImage::Format_RGB32);
    text.fill(White);
    graph::Canvas canvas(text);
    canvas.SetFont("Arial", 12);
    canvas.SetBrushColor(Black);
    canvas.SetFontColor(Ink);
    ASSERT_EQ(canvas.TextWidth("1024"), 24) << "fontconfig must map Arial to a metric twin";
    canvas.TextOutRightTop(50, 7, "1024");
    const auto* pixels = reinterpret_cast<const QRgb*>(text.constBits());
    const auto count = [&](QRgb colour) { return std::count(pixels, pixels + 60 * 30, colour); };
    EXPECT_GT(count(Ink), 20);
    EXPECT_EQ(count(Ink) + count(Black), 24 * 12);
    canvas.SetBrushColor(White);
    canvas.FillRect({26, 7, 50, 19}); // the cell, which must hold all that was drawn
    EXPECT_EQ(count(White), 60 * 30);
}

using Scale = std::array<std::uint32_t, 3>; // HistoryScaling, receive and send bandwidths

struct Graph {
    graph::HistoryImage image{QSize(Width, Height)};
    THistoryDisplay display{image};

    const QImage& Pixels() const { return image.Image(); }
    void Apply(const Scale& s)
    {
        const auto scale = graph::ChooseGraphScale(s[0], s[1], s[2]);
        display.SetScale(s[1], s[2], scale.labelMaxRX, scale.labelMaxTX, scale.decimalLabels);
    }
};

// An empty plot on each unit: the caption, the labels (receive and send alike) from the baseline
// to the top, and the plot black with a grey grid, whose vertical lines recur every ten columns
// from the newest, and a green baseline.
TEST(GraphDisplay, CaptionLabelsAndEmptyGridOnEachUnit)
{
    // HistoryScaling, receive bandwidth, caption, labels, the plot's left edge.
    const std::tuple<std::uint32_t, std::uint32_t, const char*, const char*, int> units[] = {
        {0, 1024, "Traffic Graph [kBit/s]", "0 128 256 384 512 640 768 896 1024", 34},
        {1, 1024, "Traffic Graph [kByte/s]", "0 16 32 48 64 80 96 112 128", 28},
        {2, 1024, "Traffic Graph [MBit/s]", "0.00 0.12 0.25 0.38 0.51 0.64 0.76 0.89 1.02", 46},
        {3, 1024, "Traffic Graph [MByte/s]", "0.00 0.01 0.03 0.04 0.06 0.08 0.09 0.11 0.12", 46},
        {5, 1024, "Traffic Graph [MByte/s]", "0.00 0.01 0.03 0.04 0.06 0.08 0.09 0.11 0.12", 46},
        {1, 8, "Traffic Graph [kByte/s]", "0 0 0 0 1 1 1 1 1", 16},
        {0, 0, "Traffic Graph [kBit/s]", "0 0 0 0 0 0 0 0 0", 16},
        // Only a hand-edited store holds such bandwidths: they must not turn negative or overflow.
        {1, 0xFFFFFFFF, "Traffic Graph [kByte/s]",
         "0 67108864 134217728 201326592 268435456 335544319 402653183 469762047 536870911", 65}};
    for (const auto& [historyScaling, bandwidth, caption, labels, plotLeft] : units) {
        SCOPED_TRACE(std::to_string(historyScaling) + " " + std::to_string(bandwidth));
        const graph::GraphScale scale = graph::ChooseGraphScale(historyScaling, bandwidth, 8);
        EXPECT_STREQ(scale.caption, caption);
        EXPECT_EQ(graph::ChooseGraphScale(historyScaling, 8, bandwidth).labelMaxTX,
                  scale.labelMaxRX);
        QStringList texts;
        for (int row = 0; row <= 8; ++row)
            texts << graph::LabelText(graph::LabelValue(scale.labelMaxRX, row, 8),
                                      scale.decimalLabels);
        EXPECT_EQ(texts.join(' '), labels);
        Graph graph;
        graph.Apply({historyScaling, bandwidth, 8});
        EXPECT_EQ(graph.display.PlotLeft(), plotLeft);
        std::set<QRgb> labelInks; // the send labels in red, the receive ones in a lighter green
        for (int i = 0; i < plotLeft * Height; ++i)
            labelInks.insert(graph.Pixels().pixel(i % plotLeft, i / plotLeft));
        EXPECT_TRUE(labelInks.contains(Red) && labelInks.contains(LabelGreen));
        for (int x = plotLeft; x < Width; ++x) {
            std::vector<int> grey =
                (Width - 1 - x) % 10 == 0
                    ? RowRange(3, Height - 3)
                    : std::vector<int>(std::begin(GridRows), std::end(GridRows));
            std::erase(grey, Baseline);
            EXPECT_EQ(RowsOf(graph.Pixels(), x, Grey), grey) << x;
            EXPECT_EQ(RowsOf(graph.Pixels(), x, Green), std::vector<int>{Baseline}) << x;
            EXPECT_EQ(RowsOf(graph.Pixels(), x, Black).size(), Height - grey.size() - 1) << x;
        }
    }
}

// The curve's rows in the two newest columns after the samples, per direction; the other one
// stays at 0 on a different bandwidth, so mixing up the directions shows, and the receive curve
// at 0 covers the send curve on the baseline.
TEST(GraphDisplay, CurveRowsOfTheNewestSample)
{
    constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
    const std::tuple<std::int32_t, std::vector<std::int32_t>, std::vector<int>, std::vector<int>>
        steps[] = {
            // bandwidth, samples, rows of the stroke in x = width - 2, rows in x = width - 1.
            // The full scale lies on the top grid line; the stroke rises from the baseline.
            {1024, {1024}, RowRange(6, Baseline + 1), {6}},
            {1024, {2048}, RowRange(0, Baseline + 1), {}},
            {1024, {-1024}, RowRange(Baseline, Height), {}},
            {1024, {512, 512}, {55}, {55}},
            {1024, {1024, 512}, RowRange(6, 56), {55}},
            {1024, {2048, 2048}, {}, {}},
            {8, {Max, -Max - 1}, RowRange(0, Height), {}},
            // A full scale of 0 (or one read as negative): any traffic is beyond it.
            {0, {0}, {Baseline}, {Baseline}},
            {0, {5, 0}, RowRange(0, Baseline + 1), {Baseline}},
            {-1, {5}, RowRange(0, Baseline + 1), {}}};
    for (const auto& [bandwidth, samples, stroke, newest] : steps) {
        for (const bool receive : {false, true}) {
            SCOPED_TRACE(::testing::PrintToString(std::tuple(bandwidth, samples, receive)));
            Graph graph;
            graph.display.SetScale(receive ? bandwidth : 77, receive ? 77 : bandwidth, 1, 1, false);
            for (std::int32_t sample : samples)
                graph.display.AddSample(receive ? sample : 0, receive ? 0 : sample);
            const auto visible = [&](std::vector<int> rows) {
                std::erase(rows, receive ? -1 : Baseline);
                return rows;
            };
            const QRgb colour = receive ? Green : Red;
            EXPECT_EQ(RowsOf(graph.Pixels(), Width - 2, colour), visible(stroke));
            EXPECT_EQ(RowsOf(graph.Pixels(), Width - 1, colour), visible(newest));
        }
    }
}

// Rates with runs of zeros, overshoots and negatives, drawn on other scales and then redrawn on
// the final one, come out as if drawn on it all along.
TEST(GraphDisplay, RedrawEqualsTheLivePathOnTheNewScale)
{
    const Scale final{0, 600, 90};
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int32_t> rate(-100, 1400);
    Graph live, rescaled;
    live.Apply(final);
    rescaled.Apply({1, 8, 8});
    for (int i = 0; i < 777; ++i) {
        const std::int32_t received = i % 7 < 2 ? 0 : rate(random), sent = rate(random) / 8;
        live.display.AddSample(received, sent);
        rescaled.display.AddSample(received, sent);
        if (i == 400)
            rescaled.Apply({2, 26000, 26000});
    }
    rescaled.Apply(final);
    EXPECT_TRUE(rescaled.Pixels() == live.Pixels());
}

} // namespace
