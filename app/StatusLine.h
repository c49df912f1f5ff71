#pragma once

#include "app/GlyphLine.h"

#include <QWidget>
#include <optional>

// The line under the window's controls that says where the accounting period stands. Where the
// whole text does not fit, as in the narrow window, it keeps as many whole parts (between " · ")
// as fit and ends with "…"; the full text is its tooltip and what a screen reader reads.
class StatusLine : public QWidget {
public:
    static constexpr const char* PartSeparator = " · ";

    explicit StatusLine(QWidget* parent);

    // Called on every tick: costs a comparison when the text is the same. A new text is measured
    // and mapped to glyphs once, when it is painted, and asks the window for no new layout: the
    // line's size never depends on its text.
    void SetFullText(const QString& text);
    // The parts that fit the line's width now.
    QString ShownText() const { return Shown().Text(); }

    // One line, as high as a label's.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const GlyphLine& Shown() const;

    QString full_;
    // Made again after a change of text, width or font.
    mutable std::optional<GlyphLine> shown_;
};
