#pragma once

#include "app/GlyphLabel.h"

// A counter's value in the main window: right-aligned in a fixed rectangle, and repainted at
// every tick that changes it, where it changed (GlyphLabel). Of a fixed size, so that a new value
// asks for no new layout.
class CounterLabel : public GlyphLabel {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    CounterLabel(const QString& text, const QRect& geometry, QWidget* parent);

    QString text() const { return text_; }
    void setText(const QString& text);

protected:
    GlyphLine MakeLine() const override;

private:
    QString text_;
};
