#pragma once

#include "app/GlyphLabel.h"

// The line under the window's controls that says where the accounting period stands. Where the
// whole text does not fit, as in the narrow window, it keeps as many whole parts (between " · ")
// as fit and ends with "…"; the full text is its tooltip and what a screen reader reads.
class StatusLine : public GlyphLabel {
public:
    static constexpr const char* PartSeparator = " · ";

    explicit StatusLine(QWidget* parent);

    // Called on every tick: costs a comparison when the text is the same. A new text asks the
    // window for no new layout: the line's size never depends on its text.
    void SetFullText(const QString& text);
    // The parts that fit the line's width now.
    QString ShownText() const { return Line().Text(); }

    // One line, as high as a label's.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    GlyphLine MakeLine() const override;

private:
    QString full_;
};
