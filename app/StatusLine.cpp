#include "app/StatusLine.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPainter>
#include <QtMath>

namespace {

// A screen reader announces the line as text, as it would a label, not as a bare widget.
QAccessibleInterface* AnnouncedAsText(const QString&, QObject* object)
{
    if (auto* line = dynamic_cast<StatusLine*>(object))
        return new QAccessibleWidget(line, QAccessible::StaticText);
    return nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent)
{
    static const bool announced = (QAccessible::installFactory(AnnouncedAsText), true);
    Q_UNUSED(announced);
    setObjectName("stUsage");
    // Its width follows the window's, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setContentsMargins(6, 0, 6, 0); // its text under the left column's, 8 pixels in
    // Opaque, in the status bar's colour: a new text repaints the line, not the window behind it.
    setAutoFillBackground(true);
    setAccessibleDescription("Traffic of this accounting period against the limit");
}

void StatusLine::SetFullText(const QString& text)
{
    if (text == full_)
        return;
    full_ = text;
    setToolTip(text);
    setAccessibleName(text);
    shown_.reset();
    update();
}

QSize StatusLine::sizeHint() const
{
    // A label rounds its line's height up.
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right(),
            qCeil(QFontMetricsF(font()).height()) + margins.top() + margins.bottom()};
}

QSize StatusLine::minimumSizeHint() const
{
    return sizeHint();
}

void StatusLine::paintEvent(QPaintEvent*)
{
    const GlyphLine& line = Shown();
    const QRect room = contentsRect();
    QPainter painter(this);
    // Where a label puts its one line: at the left, centred in the height.
    line.Draw(painter, room.left(), room.top() + (room.height() - line.Height()) / 2);
}

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    shown_.reset();
}

void StatusLine::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        shown_.reset();
}

const GlyphLine& StatusLine::Shown() const
{
    if (shown_)
        return *shown_;
    const int room = contentsRect().width();
    const QStringList parts = full_.split(PartSeparator);
    for (qsizetype kept = parts.size(); kept > 0; --kept) {
        shown_.emplace(font(),
                       parts.first(kept).join(PartSeparator) + (kept < parts.size() ? " …" : ""));
        if (qRound(shown_->Width()) <= room)
            return *shown_;
    }
    shown_.emplace(font(), QFontMetrics(font()).elidedText(parts.first(), Qt::ElideRight, room));
    return *shown_;
}
