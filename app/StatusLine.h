#pragma once

#include <QLabel>

// The line under the window's controls that says where the accounting period stands. Where the
// whole text does not fit, as in the narrow window, it keeps as many whole parts (between " · ")
// as fit and ends with "…"; the full text is its tooltip and what a screen reader reads.
class StatusLine : public QLabel {
public:
    static constexpr const char* PartSeparator = " · ";

    explicit StatusLine(QWidget* parent);

    // Called on every tick: costs a comparison when the text is the same.
    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }

    // One line, whatever the text: the window's layout, which asks again at every change, need
    // not lay the text out to learn that.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString full_;
};
