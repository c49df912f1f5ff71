#include "app/StatusLine.h"

#include <QFontMetrics>
#include <QtMath>

StatusLine::StatusLine(QWidget* parent) : GlyphLabel(Qt::AlignLeft, parent)
{
    setObjectName("stUsage");
    // Its width follows the window's, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setContentsMargins(6, 0, 6, 0); // its text under the left column's, 8 pixels in
    setAccessibleDescription("Traffic of this accounting period against the limit");
}

void StatusLine::SetFullText(const QString& text)
{
    if (text == full_)
        return;
    full_ = text;
    setToolTip(text);
    setAccessibleName(text);
    TextChanged();
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

GlyphLine StatusLine::MakeLine() const
{
    const int room = contentsRect().width();
    const QStringList parts = full_.split(PartSeparator);
    for (qsizetype kept = parts.size(); kept > 0; --kept) {
        GlyphLine line(font(),
                       parts.first(kept).join(PartSeparator) + (kept < parts.size() ? " …" : ""));
        if (qRound(line.Width()) <= room)
            return line;
    }
    return {font(), QFontMetrics(font()).elidedText(parts.first(), Qt::ElideRight, room)};
}
