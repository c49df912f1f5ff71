#include "app/GlyphLine.h"

#include <QPainter>
#include <QRawFont>
#include <utility>

GlyphLine::GlyphLine(const QFont& font, const QString& text) : text_(text)
{
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> indexes = raw.glyphIndexesForString(text);
    QList<QPointF> positions = raw.advancesForGlyphIndexes(indexes, QRawFont::KernedAdvances);
    for (QPointF& position : positions) // each glyph starts where the ones before it end
        position = {std::exchange(width_, width_ + position.x()), 0};
    run_.setRawFont(raw);
    run_.setGlyphIndexes(indexes);
    run_.setPositions(positions);
}

qreal GlyphLine::Height() const
{
    return run_.rawFont().ascent() + run_.rawFont().descent();
}

void GlyphLine::Draw(QPainter& painter, qreal left, qreal top) const
{
    painter.drawGlyphRun(QPointF(left, top + run_.rawFont().ascent()), run_);
}
