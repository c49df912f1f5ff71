#pragma once

#include <QGroupBox>
#include <QImage>
#include <QStringList>

namespace test {

// The controls of the window's group boxes that a box's own drawing, its frame and title, comes
// within two pixels of, drawn at 100 % and at 200 %: "name@scale" each, by object name or text.
inline QStringList ControlsNearFrames(const QWidget& window)
{
    constexpr int Gap = 2;
    QStringList near;
    for (int scale : {1, 2})
        for (QGroupBox* box : window.findChildren<QGroupBox*>()) {
            QImage drawn(box->size() * scale, QImage::Format_ARGB32_Premultiplied);
            drawn.setDevicePixelRatio(scale);
            drawn.fill(Qt::transparent);
            box->render(&drawn, {}, {}, {}); // the box alone: no background, no children
            for (const QWidget* control : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const QRect around =
                    control->geometry().adjusted(-Gap, -Gap, Gap, Gap) & box->rect();
                bool touched = false;
                for (int y = around.top() * scale; y < (around.bottom() + 1) * scale; ++y)
                    for (int x = around.left() * scale; x < (around.right() + 1) * scale; ++x)
                        touched |= qAlpha(drawn.pixel(x, y)) != 0;
                const QString name = control->objectName();
                if (touched)
                    near << QString("%1@%2")
                                .arg(name.isEmpty() ? control->property("text").toString() : name)
                                .arg(scale);
            }
        }
    return near;
}

} // namespace test
