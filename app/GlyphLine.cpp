#include "app/GlyphLine.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <utility>

GlyphLine::GlyphLine(const QFont& font, const QString& text) : text_(text)
{
    const QRawFont raw = QRawFont::fromFont(font);
    glyphs_ = raw.glyphIndexesForString(text);
    advances_ = raw.advancesForGlyphIndexes(glyphs_);
    positions_ = raw.advancesForGlyphIndexes(glyphs_, QRawFont::KernedAdvances);
    for (QPointF& position : positions_) // each glyph starts where the ones before it end
        position = {std::exchange(width_, width_ + position.x()), 0};
    run_.setRawFont(raw);
    run_.setGlyphIndexes(glyphs_);
    run_.setPositions(positions_);
    const QFontMetricsF metrics(font);
    reach_ = std::max({-metrics.minLeftBearing(), -metrics.minRightBearing(), qreal(0)}) + 1;
}

qreal GlyphLine::Height() const
{
    return run_.rawFont().ascent() + run_.rawFont().descent();
}

void GlyphLine::Draw(QPainter& painter, qreal left, qreal top, qreal fromX, qreal toX) const
{
    const QPointF baseline(left, top + run_.rawFont().ascent());
    qsizetype first = 0;
    qsizetype end = positions_.size();
    while (first < end && left + InkTo(first) <= fromX)
        ++first;
    while (end > first && left + InkFrom(end - 1) >= toX)
        --end;
    if (first == 0 && end == positions_.size()) {
        painter.drawGlyphRun(baseline, run_);
        return;
    }
    QGlyphRun part = run_;
    part.setRawData(glyphs_.constData() + first, positions_.constData() + first,
                    static_cast<int>(end - first));
    painter.drawGlyphRun(baseline, part);
}

GlyphLine::Span GlyphLine::Changed(const GlyphLine& before, qreal beforeLeft,
                                   const GlyphLine& after, qreal afterLeft)
{
    const auto same = [&](qsizetype i, qsizetype j) {
        return before.glyphs_[i] == after.glyphs_[j] &&
               beforeLeft + before.positions_[i].x() == afterLeft + after.positions_[j].x();
    };
    const qsizetype beforeCount = before.glyphs_.size();
    const qsizetype afterCount = after.glyphs_.size();
    qsizetype head = 0;
    while (head < beforeCount && head < afterCount && same(head, head))
        ++head;
    qsizetype tail = 0;
    while (tail < beforeCount - head && tail < afterCount - head &&
           same(beforeCount - 1 - tail, afterCount - 1 - tail))
        ++tail;
    qreal from = qInf();
    qreal to = -qInf();
    const auto cover = [&](const GlyphLine& line, qreal left, qsizetype end) {
        if (head < end) {
            from = std::min(from, left + line.InkFrom(head));
            to = std::max(to, left + line.InkTo(end - 1));
        }
    };
    cover(before, beforeLeft, beforeCount - tail);
    cover(after, afterLeft, afterCount - tail);
    if (from > to)
        return {};
    return {static_cast<int>(std::floor(from)), static_cast<int>(std::ceil(to))};
}
