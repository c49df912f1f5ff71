#include "app/CounterLabel.h"

#include <QEvent>
#include <QPainter>

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
    if (!shown_ || shown_->Text() != text())
        shown_.emplace(font(), text());
    // Where a label puts its one right-aligned line, centred in the height.
    const QRect room = contentsRect();
    QPainter painter(this);
    shown_->Draw(painter, room.left() + room.width() - shown_->Width(),
                 room.top() + (room.height() - shown_->Height()) / 2);
}

void CounterLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        shown_.reset();
}
