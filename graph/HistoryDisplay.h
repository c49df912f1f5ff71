#pragma once

#include "graph/HistBuffer.h"

#include <QRgb>
#include <cstdint>

namespace graph {
class Canvas;
class HistoryImage;
} // namespace graph

// Scrolling strip chart of the receive and send rates (kBit/s): one pixel column per sample, the
// newest at the right edge, and a label column per direction at the left edge. Each curve reaches
// the top grid line at its own bandwidth.
class THistoryDisplay {
public:
    // Call SetScale before anything else.
    explicit THistoryDisplay(graph::HistoryImage& image);
    THistoryDisplay(const THistoryDisplay&) = delete;
    THistoryDisplay& operator=(const THistoryDisplay&) = delete;

    // Bandwidths in kBit/s; label maxima in the display unit, as thousandths when `decimalLabels`.
    void SetScale(std::int32_t bandwidthRX, std::int32_t bandwidthTX, std::int32_t labelMaxRX,
                  std::int32_t labelMaxTX, bool decimalLabels);
    // Lays out and draws both label columns and replays the kept samples on the current scale.
    void Redraw();
    void AddSample(std::int32_t rxRate, std::int32_t txRate);

    int PlotLeft() const { return plotLeft; }
    const THistBuffer& HistoryRX() const { return historyRX; }
    const THistBuffer& HistoryTX() const { return historyTX; }
    int GridPhase() const { return gridPhase; }

private:
    void ColumnStep(std::int32_t newRX, std::int32_t previousRX, std::int32_t newTX,
                    std::int32_t previousTX);
    void DrawCurveStep(QRgb colour, std::int32_t previous, std::int32_t next,
                       std::int32_t bandwidth);
    void DrawNewColumn();
    void DrawScale(int x, int columnWidth, std::int32_t labelMax, QRgb colour);
    int GridRow(int row) const;
    int Level(std::int32_t value, std::int32_t bandwidth) const;

    int labelWidthRX = 0;
    int labelWidthTX = 0;
    int plotLeft = 0;
    graph::HistoryImage& image;
    graph::Canvas& canvas;
    const int width;
    const int height;
    int plotWidth = 0;
    int plotHeight = 0;
    std::int32_t bandwidthRX = 0;
    std::int32_t bandwidthTX = 0;
    std::int32_t labelMaxRX = 0;
    std::int32_t labelMaxTX = 0;
    bool decimalLabels = false;
    int divisions = 8;
    int baseline = 0;
    THistBuffer historyRX;
    THistBuffer historyTX;
    // Place of the newest column in the ten-column cycle of vertical grid lines.
    int gridPhase = 0;
};
