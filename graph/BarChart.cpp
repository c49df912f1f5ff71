#include "graph/BarChart.h"

#include "traffic/ByteFormat.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace graph {

namespace {

constexpr int MaxBarWidth = 48;
constexpr int Swatch = 10;

QString Bytes(std::uint64_t bytes)
{
    return QString::fromStdString(FormatBytes(static_cast<std::int64_t>(bytes))) + " Bytes";
}

} // namespace

BarChart::BarChart(QWidget* parent) : QWidget(parent), axis_(ChooseChartAxis(0))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BarChart::SetBars(std::vector<ChartBar> bars, std::optional<ChartLine> line)
{
    bars_ = std::move(bars);
    line_ = std::move(line);
    std::uint64_t highest = line_ ? line_->bytes : 0;
    QStringList figures;
    for (const ChartBar& bar : bars_) {
        highest = std::max(highest, bar.received + bar.transmitted);
        figures << QString("%1: received %2, transmitted %3")
                       .arg(bar.name, Bytes(bar.received), Bytes(bar.transmitted));
    }
    if (line_)
        figures << QString("%1: %2").arg(line_->name, Bytes(line_->bytes));
    axis_ = ChooseChartAxis(highest);
    setAccessibleDescription(figures.join('\n'));
    update();
}

QRect BarChart::PlotArea(QSize size) const
{
    const QFontMetrics metrics(font());
    int labelWidth = 0;
    for (const QString& label : axis_.labels)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    const int left = labelWidth + 8;
    const int top = metrics.height() * 2; // the legend, and half a label above the top row
    const int right = size.width() - metrics.height() / 2;
    const int bottom = size.height() - metrics.height() - 4; // the bars' labels
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

std::pair<int, int> BarChart::SlotColumns(int index, const QRect& plot) const
{
    const int count = static_cast<int>(bars_.size());
    return {plot.left() + index * plot.width() / count,
            plot.left() + (index + 1) * plot.width() / count};
}

std::pair<int, int> BarChart::BarColumns(int index, const QRect& plot) const
{
    const auto [left, right] = SlotColumns(index, plot);
    // A fifth of the slot stays free between neighbours, once slots are wide enough to spare it.
    const int width = std::min(right - left - (right - left) / 5, MaxBarWidth);
    const int barLeft = left + (right - left - width) / 2;
    return {barLeft, barLeft + width};
}

int BarChart::Height(std::uint64_t bytes, int span) const
{
    const auto scaled = (static_cast<unsigned __int128>(bytes) * span + axis_.top / 2) / axis_.top;
    return static_cast<int>(std::min<unsigned __int128>(scaled, span));
}

int BarChart::BarAt(QPoint point) const
{
    const QRect plot = PlotArea(size());
    if (bars_.empty() || point.x() < plot.left() || point.x() > plot.right() ||
        point.y() > plot.bottom())
        return -1;
    for (int index = 0; index < static_cast<int>(bars_.size()); ++index) {
        const auto [left, right] = SlotColumns(index, plot);
        if (point.x() >= left && point.x() < right)
            return index;
    }
    return -1;
}

QString BarChart::BarFigures(int index) const
{
    const ChartBar& bar = bars_.at(index);
    return QString("%1\nReceived: %2\nTransmitted: %3\nSum: %4")
        .arg(bar.name, Bytes(bar.received), Bytes(bar.transmitted),
             Bytes(bar.received + bar.transmitted));
}

bool BarChart::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const int index = BarAt(help->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), BarFigures(index), this);
    }
    return true;
}

void BarChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Draw(painter, size());
}

void BarChart::Draw(QPainter& painter, QSize size) const
{
    painter.setFont(font());
    painter.fillRect(QRect(QPoint(0, 0), size), palette().color(QPalette::Base));
    const QRect plot = PlotArea(size);
    DrawAxis(painter, plot);
    DrawBars(painter, plot);
    DrawLegend(painter, plot);
}

void BarChart::DrawAxis(QPainter& painter, const QRect& plot) const
{
    const int baseline = plot.bottom() + 1;
    const int textHeight = painter.fontMetrics().height();
    // A faint shade of the text on the background, light or dark theme alike.
    const QColor text = palette().color(QPalette::Text), base = palette().color(QPalette::Base);
    const QColor grid((text.red() + 4 * base.red()) / 5, (text.green() + 4 * base.green()) / 5,
                      (text.blue() + 4 * base.blue()) / 5);
    for (int step = 0; step <= ChartAxis::Steps; ++step) {
        const int y = baseline - step * plot.height() / ChartAxis::Steps;
        painter.fillRect(plot.left(), y, plot.width(), 1, grid);
        painter.setPen(text);
        painter.drawText(QRect(0, y - textHeight / 2, plot.left() - 4, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, axis_.labels[step]);
    }
}

void BarChart::DrawBars(QPainter& painter, const QRect& plot) const
{
    const int baseline = plot.bottom() + 1;
    const QFontMetrics& metrics = painter.fontMetrics();
    const int count = static_cast<int>(bars_.size());
    // Every stride-th bar is labelled, as many as fit side by side; the tooltip names them all.
    int labelWidth = 0;
    for (const ChartBar& bar : bars_)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(bar.label));
    int stride = 1;
    while (stride < count && stride * plot.width() / count < labelWidth + metrics.height() / 2)
        ++stride;
    for (int index = 0; index < count; ++index) {
        const ChartBar& bar = bars_[index];
        const auto [left, right] = BarColumns(index, plot);
        const int received = Height(bar.received, plot.height());
        const int sum = Height(bar.received + bar.transmitted, plot.height());
        painter.fillRect(left, baseline - received, right - left, received, QColor(ReceivedColor));
        painter.fillRect(left, baseline - sum, right - left, sum - received,
                         QColor(TransmittedColor));
        if (index % stride == 0) {
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(
                QRect((left + right - labelWidth) / 2, baseline + 2, labelWidth, metrics.height()),
                Qt::AlignCenter, bar.label);
        }
    }
    if (line_)
        painter.fillRect(plot.left(), baseline - Height(line_->bytes, plot.height()), plot.width(),
                         1, QColor(LineColor));
}

void BarChart::DrawLegend(QPainter& painter, const QRect& plot) const
{
    const QFontMetrics& metrics = painter.fontMetrics();
    const int top = (metrics.height() - Swatch) / 2 + 2;
    int x = plot.left();
    const auto entry = [&](const QString& text, QRect swatch, QRgb colour) {
        painter.fillRect(swatch, QColor(colour));
        x += Swatch + 4;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(x, 2, metrics.horizontalAdvance(text), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text) + 12;
    };
    entry("Received", QRect(x, top, Swatch, Swatch), ReceivedColor);
    entry("Transmitted", QRect(x, top, Swatch, Swatch), TransmittedColor);
    if (line_)
        entry(line_->name, QRect(x, top + Swatch / 2, Swatch, 1), LineColor);
}

} // namespace graph
