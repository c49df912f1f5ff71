// The traffic graph: its scale from the settings, and one sample per sampling interval.
#include "app/Fmain.h"
#include "graph/GraphScale.h"
#include "graph/HistoryDisplay.h"
#include "settings/RegVars.h"

#include <QGroupBox>
#include <cmath>

void TFormMain::UpdateGraphScale()
{
    const std::uint32_t rx = settings_.BandwidthRX.Get();
    const std::uint32_t tx = settings_.BandwidthTX.Get();
    const graph::GraphScale scale = graph::ChooseGraphScale(settings_.HistoryScaling.Get(), rx, tx);
    gbHistory->setTitle(scale.caption);
    historyDisplay->SetScale(static_cast<std::int32_t>(rx), static_cast<std::int32_t>(tx),
                             scale.labelMaxRX, scale.labelMaxTX, scale.decimalLabels);
}

namespace {

// kBit/s from bytes over the connection's own milliseconds, truncated; the low 32 bits as signed.
std::int32_t Rate(std::uint64_t bytes, std::uint32_t durationMs)
{
    const double rate = std::trunc(static_cast<double>(bytes) * 8.0 / durationMs);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(rate)));
}

} // namespace

// Rates are measured against the connection's own duration counter, not the number of ticks, so
// a late or skipped tick does not distort them; while the line is down every sample is 0.
void TFormMain::TakeGraphSample()
{
    ++SampleTicks;
    if (SampleTicks < settings_.HistoryUpdateSpeed.Get())
        return;
    if (SampleDuration == 0)
        SampleDuration = 1;
    historyDisplay->AddSample(Rate(SampleRX, SampleDuration), Rate(SampleTX, SampleDuration));
    SampleRX = 0;
    SampleTX = 0;
    SampleDuration = 0;
    SampleTicks = 0;
}
