#pragma once

#include "graph/ChartAxis.h"

#include <QRgb>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

namespace graph {

// One bar: the bytes received at its foot, the bytes transmitted stacked on top.
struct ChartBar {
    QString label; // under the bar, where there is room
    QString name;  // in its tooltip and for screen readers
    std::uint64_t received = 0;
    std::uint64_t transmitted = 0;
};

// A line across the chart at `bytes`, named in the legend.
struct ChartLine {
    QString name;
    std::uint64_t bytes = 0;
};

// Bar chart of bytes, drawn by QPainter on whole logical pixels, so that a screen at 200 % gets
// the same picture in twice the pixels, edges still sharp. A tooltip gives a bar's exact figures;
// the accessible description lists every bar's figures for screen readers.
class BarChart : public QWidget {
    Q_OBJECT

public:
    static constexpr QRgb ReceivedColor = qRgb(31, 119, 180);
    static constexpr QRgb TransmittedColor = qRgb(255, 127, 14);
    static constexpr QRgb LineColor = qRgb(204, 0, 0);

    explicit BarChart(QWidget* parent = nullptr);

    void SetBars(std::vector<ChartBar> bars, std::optional<ChartLine> line);
    // The whole picture for a widget of `size`; paintEvent draws it on the screen.
    void Draw(QPainter& painter, QSize size) const;
    // Bars stand on the area's bottom edge; the axis's top lies on its top row.
    QRect PlotArea(QSize size) const;

    QSize sizeHint() const override { return {480, 180}; }
    QSize minimumSizeHint() const override { return {240, 120}; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The bar whose column holds `point` of the widget, or -1.
    int BarAt(QPoint point) const;
    QString BarFigures(int index) const;
    // Columns [left, right) of bar `index`, and of the slot it stands in.
    std::pair<int, int> BarColumns(int index, const QRect& plot) const;
    std::pair<int, int> SlotColumns(int index, const QRect& plot) const;
    int Height(std::uint64_t bytes, int span) const;
    void DrawAxis(QPainter& painter, const QRect& plot) const;
    void DrawBars(QPainter& painter, const QRect& plot) const;
    void DrawLegend(QPainter& painter, const QRect& plot) const;

    std::vector<ChartBar> bars_;
    std::optional<ChartLine> line_;
    ChartAxis axis_;
};

} // namespace graph
