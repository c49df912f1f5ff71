#include "graph/GraphScale.h"
#include "graph/HistoryDisplay.h"
#include "graph/HistoryImage.h"

#include <gtest/gtest.h>
#include <random>

namespace {

struct Scale {
    std::uint32_t historyScaling;
    std::uint32_t bandwidthRX;
    std::uint32_t bandwidthTX;

    bool operator==(const Scale&) const = default;
};

void Apply(THistoryDisplay& display, const Scale& scale)
{
    const graph::GraphScale labels =
        graph::ChooseGraphScale(scale.historyScaling, scale.bandwidthRX, scale.bandwidthTX);
    display.SetScale(scale.bandwidthRX, scale.bandwidthTX, labels.labelMaxRX, labels.labelMaxTX,
                     labels.decimalLabels);
}

// Rates around the two bandwidths with runs of repeats and zeros, overshoots and negatives.
std::vector<std::pair<std::int32_t, std::int32_t>> RandomRates(unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> rate(-100, 1400);
    std::vector<std::pair<std::int32_t, std::int32_t>> rates{{0, 0}};
    while (static_cast<int>(rates.size()) < count) {
        const auto kind = random() % 4;
        rates.push_back(kind == 0   ? rates.back()
                        : kind == 1 ? std::pair{0, 0}
                                    : std::pair{rate(random), rate(random) / 8});
    }
    return rates;
}

struct Replay {
    unsigned seed;
    int samples;
    // Applied one after another at even intervals while sampling.
    std::vector<Scale> during;
    Scale final;
};

void PrintTo(const Replay& replay, std::ostream* out)
{
    *out << "seed " << replay.seed << ", " << replay.samples << " samples";
}

class GraphRedrawReplay : public ::testing::TestWithParam<Replay> {};

TEST_P(GraphRedrawReplay, RedrawEqualsTheLivePathOnTheNewScale)
{
    const Replay replay = GetParam();
    const auto rates = RandomRates(replay.seed, replay.samples);

    graph::HistoryImage liveImage(QSize(199, 111));
    THistoryDisplay live(liveImage);
    Apply(live, replay.final);
    for (const auto& [rx, tx] : rates)
        live.AddSample(rx, tx);

    graph::HistoryImage rescaledImage(QSize(199, 111));
    THistoryDisplay rescaled(rescaledImage);
    const std::size_t interval = rates.size() / replay.during.size() + 1;
    int firstPlotLeft = 0;
    for (std::size_t i = 0; i < rates.size(); ++i) {
        if (i % interval == 0)
            Apply(rescaled, replay.during[i / interval]);
        if (i == 0)
            firstPlotLeft = rescaled.PlotLeft();
        rescaled.AddSample(rates[i].first, rates[i].second);
    }
    Apply(rescaled, replay.final);

    ASSERT_EQ(rescaled.PlotLeft(), live.PlotLeft());
    EXPECT_EQ(rescaled.GridPhase(), live.GridPhase());
    EXPECT_TRUE(rescaledImage.Image() == liveImage.Image());
    // Guards the table: rows that change the scale must also change the width of the labels.
    if (replay.during.front() != replay.final) {
        EXPECT_NE(firstPlotLeft, live.PlotLeft());
    }
}

const Scale KBit{0, 1024, 128};
const Scale KByteNarrow{1, 8, 8};
const Scale MBitWide{2, 26000, 26000};
const Scale MByte{3, 1024, 128};
const Scale Zero{0, 0, 0};
const Scale KBitSmall{0, 600, 90};

INSTANTIATE_TEST_SUITE_P(, GraphRedrawReplay,
                         ::testing::Values(Replay{1, 450, {MBitWide, KBit}, MByte},
                                           Replay{2, 450, {KByteNarrow, MByte}, KBit},
                                           Replay{3, 50, {KByteNarrow}, MBitWide},
                                           Replay{4, 199, {MBitWide}, KBit},
                                           Replay{5, 777, {KBit, MBitWide, KByteNarrow}, KBitSmall},
                                           Replay{6, 613, {MByte, Zero}, KBitSmall},
                                           Replay{7, 301, {Zero}, KBit},
                                           Replay{8, 400, {KBitSmall}, KBitSmall}));

} // namespace
