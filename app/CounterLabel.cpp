#include "app/CounterLabel.h"

CounterLabel::CounterLabel(const QString& text, const QRect& geometry, QWidget* parent)
    : GlyphLabel(Qt::AlignRight, parent)
{
    setGeometry(geometry);
    setFixedSize(geometry.size());
    setText(text);
}

void CounterLabel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    setAccessibleName(text);
    TextChanged();
}

GlyphLine CounterLabel::MakeLine() const
{
    return {font(), text_};
}
