#pragma once

#include "app/GlyphLine.h"

#include <QWidget>
#include <optional>

// One line of text in a widget of its own, drawn from the font's glyphs (GlyphLine), left- or
// right-aligned and centred in the height as a label would put it. A value that changes at every
// tick repaints just the glyphs that changed: the widget is opaque, so nothing behind it is
// repainted, and a new line asks for a repaint of the span where it differs from the one shown.
// The new line is laid out once the event loop is back, with the painting: texts set several
// times before a paint are laid out once, and one set while the window is hidden not at all.
// A screen reader is told it is text, and its accessible name is what it reads.
class GlyphLabel : public QWidget {
public:
    GlyphLabel(Qt::AlignmentFlag alignment, QWidget* parent);

protected:
    // The line for the widget's text, font and width now.
    virtual GlyphLine MakeLine() const = 0;
    // After a new text: the span that changed is repainted.
    void TextChanged();
    // The line shown, or about to be.
    const GlyphLine& Line() const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Lays out the new text and asks for a repaint of what changed.
    void Relayout();
    QPointF Origin(const GlyphLine& line) const;

    Qt::AlignmentFlag alignment_;
    // Made again when it is needed after a change of font or size, or of the text while hidden.
    mutable std::optional<GlyphLine> line_;
    bool relayoutAsked_ = false;
};
