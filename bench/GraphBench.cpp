#include "graph/HistoryDisplay.h"
#include "graph/HistoryImage.h"

#include <benchmark/benchmark.h>

namespace {

// The main window's image at the default scale, its history full of a sawtooth around the
// receive bandwidth.
struct FullGraph {
    graph::HistoryImage image{QSize(199, 111)};
    THistoryDisplay display{image};

    FullGraph()
    {
        display.SetScale(1024, 128, 1024, 128, false);
        for (int i = 0; i < 199; ++i)
            display.AddSample(i * 37 % 1400, i * 11 % 180);
    }
};

} // namespace

// One live sample: a scroll of the plot area and a few line and pixel operations.
static void BM_GraphAddSample(benchmark::State& state)
{
    FullGraph graph;
    int i = 0;
    for (auto _ : state) {
        graph.display.AddSample(i * 37 % 1400, i * 11 % 180);
        ++i;
    }
    benchmark::DoNotOptimize(graph.image.Image().constBits());
}
BENCHMARK(BM_GraphAddSample);

// Both label columns and a replay of every plot column, as after the settings dialog.
static void BM_GraphRedraw(benchmark::State& state)
{
    FullGraph graph;
    for (auto _ : state)
        graph.display.Redraw();
    benchmark::DoNotOptimize(graph.image.Image().constBits());
}
BENCHMARK(BM_GraphRedraw);
