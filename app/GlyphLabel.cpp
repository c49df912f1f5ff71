#include "app/GlyphLabel.h"

#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>

namespace {

// A screen reader announces the line as text, as it would a label, not as a bare widget.
QAccessibleInterface* AnnouncedAsText(const QString&, QObject* object)
{
    if (auto* label = dynamic_cast<GlyphLabel*>(object))
        return new QAccessibleWidget(label, QAccessible::StaticText);
    return nullptr;
}

} // namespace

GlyphLabel::GlyphLabel(Qt::AlignmentFlag alignment, QWidget* parent)
    : QWidget(parent), alignment_(alignment)
{
    static const bool announced = (QAccessible::installFactory(AnnouncedAsText), true);
    Q_UNUSED(announced);
    // Opaque, in its parent's colour: a new text repaints the line, not what lies behind it. It
    // fills its background itself, with the painter it draws with: a second painter, for the
    // background alone, costs as much as the glyphs of a changed digit.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GlyphLabel::TextChanged()
{
    if (!line_ || !isVisible()) { // painted whole when it is next painted
        line_.reset();
        update();
    } else if (!relayoutAsked_) {
        relayoutAsked_ = true;
        QMetaObject::invokeMethod(this, &GlyphLabel::Relayout, Qt::QueuedConnection);
    }
}

void GlyphLabel::Relayout()
{
    relayoutAsked_ = false;
    if (!line_)
        return;
    GlyphLine next = MakeLine();
    const GlyphLine::Span changed =
        GlyphLine::Changed(*line_, Origin(*line_).x(), next, Origin(next).x());
    line_ = std::move(next);
    if (changed.from < changed.to)
        update(changed.from, 0, changed.to - changed.from, height());
}

const GlyphLine& GlyphLabel::Line() const
{
    if (relayoutAsked_) // what is painted or read now is the new text
        const_cast<GlyphLabel*>(this)->Relayout();
    if (!line_)
        line_ = MakeLine();
    return *line_;
}

void GlyphLabel::paintEvent(QPaintEvent* event)
{
    const GlyphLine& line = Line();
    const QPointF origin = Origin(line);
    const QRect exposed = event->rect();
    QPainter painter(this);
    painter.fillRect(exposed, palette().brush(backgroundRole()));
    line.Draw(painter, origin.x(), origin.y(), exposed.left(), exposed.left() + exposed.width());
}

void GlyphLabel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    line_.reset();
}

void GlyphLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        line_.reset();
        update();
    }
}

QPointF GlyphLabel::Origin(const GlyphLine& line) const
{
    const QRect room = contentsRect();
    const qreal left =
        alignment_ == Qt::AlignRight ? room.left() + room.width() - line.Width() : room.left();
    return {left, room.top() + (room.height() - line.Height()) / 2};
}
