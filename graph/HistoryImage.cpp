#include "graph/HistoryImage.h"

#include <QPaintEvent>
#include <QPainter>

namespace graph {

HistoryImage::HistoryImage(QSize size, QWidget* parent)
    : QWidget(parent), image_(size, QImage::Format_RGB32), canvas_(image_)
{
    image_.fill(Qt::black);
    setFixedSize(size);
    // Every pixel is painted from the image, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryImage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), image_, event->rect());
}

} // namespace graph
