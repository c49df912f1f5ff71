#pragma once

#include <QGlyphRun>
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
    // `left` and `top` of the line's box; the baseline lies an ascent below.
    void Draw(QPainter& painter, qreal left, qreal top) const;

private:
    QString text_;
    QGlyphRun run_;
    qreal width_ = 0;
};
