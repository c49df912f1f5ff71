#include "graph/HistoryDisplay.h"

#include "graph/Canvas.h"
#include "graph/GraphScale.h"
#include "graph/HistoryImage.h"

#include <algorithm>

namespace {

constexpr QRgb Background = qRgb(0, 0, 0);
constexpr QRgb Grid = qRgb(96, 96, 96);
constexpr QRgb ReceiveCurve = qRgb(0, 255, 0);
constexpr QRgb SendCurve = qRgb(255, 0, 0);
constexpr QRgb ReceiveLabels = qRgb(0, 224, 0);
constexpr QRgb SendLabels = qRgb(255, 0, 0);

constexpr int LabelCellHeight = 12;
constexpr int GridCycle = 10;

} // namespace

THistoryDisplay::THistoryDisplay(graph::HistoryImage& image)
    : image(image), canvas(image.Surface()), width(image.width()), height(image.height()),
      historyRX(width), historyTX(width)
{
}

void THistoryDisplay::SetScale(std::int32_t bandwidthRX, std::int32_t bandwidthTX,
                               std::int32_t labelMaxRX, std::int32_t labelMaxTX, bool decimalLabels)
{
    this->bandwidthRX = bandwidthRX;
    this->bandwidthTX = bandwidthTX;
    this->labelMaxRX = labelMaxRX;
    this->labelMaxTX = labelMaxTX;
    this->decimalLabels = decimalLabels;
    divisions = 8;
    Redraw();
}

void THistoryDisplay::Redraw()
{
    canvas.SetFont("Arial", LabelCellHeight);
    labelWidthRX = canvas.TextWidth(graph::LabelText(labelMaxRX, decimalLabels)) + 2;
    labelWidthTX = canvas.TextWidth(graph::LabelText(labelMaxTX, decimalLabels)) + 2;
    plotLeft = labelWidthRX + labelWidthTX;
    plotWidth = width - plotLeft;
    plotHeight = height - 12;
    baseline = height - 7;

    // Receive labels stand next to the plot, send labels at the left edge.
    DrawScale(labelWidthTX, labelWidthRX, labelMaxRX, ReceiveLabels);
    DrawScale(0, labelWidthTX, labelMaxTX, SendLabels);

    // Rewinding by the replayed columns leaves the phase where it was, so vertical grid lines keep
    // their place relative to the samples.
    gridPhase = (gridPhase + GridCycle - plotWidth % GridCycle) % GridCycle;
    for (int i = plotWidth; i >= 1; --i)
        ColumnStep(historyRX.Recent(i), historyRX.Recent(i + 1), historyTX.Recent(i),
                   historyTX.Recent(i + 1));
    image.update();
}

void THistoryDisplay::AddSample(std::int32_t rxRate, std::int32_t txRate)
{
    ColumnStep(rxRate, historyRX.Recent(1), txRate, historyTX.Recent(1));
    historyRX.Push(rxRate);
    historyTX.Push(txRate);
    image.update();
}

void THistoryDisplay::ColumnStep(std::int32_t newRX, std::int32_t previousRX, std::int32_t newTX,
                                 std::int32_t previousTX)
{
    canvas.CopyRect({plotLeft, 0}, graph::PixelRect{plotLeft + 1, 0, width, height});
    gridPhase = (gridPhase + 1) % GridCycle;
    DrawNewColumn();
    // Receive last: it covers the send curve where both meet.
    DrawCurveStep(SendCurve, previousTX, newTX, bandwidthTX);
    DrawCurveStep(ReceiveCurve, previousRX, newRX, bandwidthRX);
}

void THistoryDisplay::DrawCurveStep(QRgb colour, std::int32_t previous, std::int32_t next,
                                    std::int32_t bandwidth)
{
    const int yPrevious = Level(previous, bandwidth);
    const int yNew = Level(next, bandwidth);
    canvas.SetPenColor(colour);
    canvas.MoveTo(width - 2, yPrevious);
    // The stroke; between equal levels it has no length and draws nothing.
    canvas.LineTo(width - 2, yNew);
    canvas.LineTo(width, yNew);
}

void THistoryDisplay::DrawNewColumn()
{
    const int x = width - 1;
    canvas.SetPenColor(Background);
    canvas.MoveTo(x, 0);
    canvas.LineTo(x, height);
    if (gridPhase != 0) {
        for (int i = 0; i <= divisions; ++i)
            canvas.SetPixel(x, GridRow(i), Grid);
    } else {
        canvas.SetPenColor(Grid);
        canvas.MoveTo(x, 3);
        canvas.LineTo(x, height - 3);
    }
}

void THistoryDisplay::DrawScale(int x, int columnWidth, std::int32_t labelMax, QRgb colour)
{
    canvas.SetBrushColor(Background);
    canvas.FillRect(graph::PixelRect{x, 0, x + columnWidth, height});
    canvas.SetFontColor(colour);
    for (int i = 0; i <= divisions; ++i) {
        const QString text =
            graph::LabelText(graph::LabelValue(labelMax, i, divisions), decimalLabels);
        canvas.TextOutRightTop(x + columnWidth - 1, GridRow(i) - 5, text);
    }
}

int THistoryDisplay::GridRow(int row) const
{
    return baseline - row * (plotHeight - 1) / divisions;
}

int THistoryDisplay::Level(std::int32_t value, std::int32_t bandwidth) const
{
    std::int64_t y = baseline;
    if (bandwidth > 0)
        y -= std::int64_t{value} * (plotHeight - 1) / bandwidth;
    else if (value != 0)
        // Only a hand-edited store holds a full scale of 0 or less: every rate other than 0 lies
        // beyond it, as if it were vanishingly small.
        y = value > 0 ? -1 : height;
    // Levels off the image clip to the same pixels when pinned just outside it, and the pinned
    // coordinates cannot overflow.
    return static_cast<int>(std::clamp<std::int64_t>(y, -1, height));
}
