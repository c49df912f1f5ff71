#pragma once

#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QString>

class QFont;
class QPainter;

// One line of text drawn straight from the font's glyphs, each where the ones before it end.
// Digits, Latin letters and the few signs the window's figures use need none of the shaping the
// text engine puts a text through, which costs as much again as the drawing; a value shown at every
// tick is drawn for half.
class GlyphLine {
public:
    GlyphLine() = default;
    GlyphLine(const QFont& font, const QString& text);

    const QString& Text() const { return text_; }
    qreal Width() const { return width_; }
    // The height a label centres: ascent and descent, unrounded.
    qreal Height() const;
    // `left` and `top` of the line's box; the baseline lies an ascent below. Only the glyphs whose
    // ink may reach between `fromX` and `toX` are drawn: a repaint of a few changed digits draws
    // those, not the whole line.
    void Draw(QPainter& painter, qreal left, qreal top, qreal fromX, qreal toX) const;

    // From where to where, in whole pixels, two lines drawn at their lefts look different: from
    // the first glyph that is not the same glyph at the same place to the last, with the ink that
    // may reach beyond their advances. Empty (`from == to`) when they look alike. A value that
    // grows by a few bytes, or a summary whose one figure moves, changes a few glyphs of many.
    struct Span {
        int from = 0;
        int to = 0;
    };
    static Span Changed(const GlyphLine& before, qreal beforeLeft, const GlyphLine& after,
                        qreal afterLeft);

private:
    // Where glyph `i` may have ink, relative to the line's left.
    qreal InkFrom(qsizetype i) const { return positions_[i].x() - reach_; }
    qreal InkTo(qsizetype i) const { return positions_[i].x() + advances_[i].x() + reach_; }

    QString text_;
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
    // Each glyph's own advance, before kerning moves the next one closer or away.
    QList<QPointF> advances_;
    QGlyphRun run_;
    qreal width_ = 0;
    // How far a glyph's ink may lie outside its advance, by the font's own bearings, and a pixel
    // for antialiasing: what a changed glyph's repaint covers on either side.
    qreal reach_ = 0;
};
