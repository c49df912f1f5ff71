#include "app/StatusLine.h"

#include <QFontMetrics>
#include <QtMath>

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
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
    Elide();
}

QSize StatusLine::sizeHint() const
{
    // As high as a label with one line of text, which rounds the line's height up.
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right(),
            qCeil(QFontMetricsF(font()).height()) + margins.top() + margins.bottom()};
}

QSize StatusLine::minimumSizeHint() const
{
    return sizeHint();
}

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void StatusLine::Elide()
{
    const QFontMetrics metrics(font());
    const int room = contentsRect().width();
    const QStringList parts = full_.split(PartSeparator);
    for (qsizetype kept = parts.size(); kept > 0; --kept) {
        const QString shown =
            parts.first(kept).join(PartSeparator) + (kept < parts.size() ? " …" : "");
        if (metrics.horizontalAdvance(shown) <= room) {
            setText(shown);
            return;
        }
    }
    setText(metrics.elidedText(parts.first(), Qt::ElideRight, room));
}
