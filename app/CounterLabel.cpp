#include "app/CounterLabel.h"

#include <QEvent>
#include <QPainter>
#include <QRawFont>
#include <utility>

CounterLabel::CounterLabel(const QString& text, const QRect& geometry, QWidget* parent)
    : QLabel(text, parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAutoFillBackground(true);
    setGeometry(geometry);
    setFixedSize(geometry.size());
}

void CounterLabel::paintEvent(QPaintEvent*)
{
    if (glyphs_.isEmpty() || drawn_ != text())
        MapGlyphs();
    // Where a label puts its one right-aligned line, centred in the height.
    const QRawFont font = glyphs_.rawFont();
    const QRect room = contentsRect();
    const QPointF baseline(room.left() + room.width() - width_,
                           room.top() + (room.height() - font.ascent() - font.descent()) / 2 +
                               font.ascent());
    QPainter painter(this);
    painter.drawGlyphRun(baseline, glyphs_);
}

void CounterLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        glyphs_ = QGlyphRun();
}

void CounterLabel::MapGlyphs()
{
    const QRawFont font = QRawFont::fromFont(this->font());
    const QList<quint32> indexes = font.glyphIndexesForString(text());
    QList<QPointF> positions = font.advancesForGlyphIndexes(indexes);
    width_ = 0;
    for (QPointF& position : positions) // each glyph starts where the ones before it end
        position = {std::exchange(width_, width_ + position.x()), 0};
    glyphs_.setRawFont(font);
    glyphs_.setGlyphIndexes(indexes);
    glyphs_.setPositions(positions);
    drawn_ = text();
}
