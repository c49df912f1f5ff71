#pragma once

#include "app/GlyphLine.h"

#include <QLabel>
#include <optional>

// A counter's value in the main window: right-aligned in a fixed rectangle, and repainted at
// every tick that changes it, so it keeps that repaint small. It is opaque, in the colour its box
// shows around it, so that a new value repaints the label alone, not the box, the window and the
// caption it overlaps by a pixel; of a fixed size, so that it asks for no new layout either; and
// it draws its glyphs straight from the font (GlyphLine).
class CounterLabel : public QLabel {
public:
    CounterLabel(const QString& text, const QRect& geometry, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Mapped once for each new text.
    std::optional<GlyphLine> shown_;
};
