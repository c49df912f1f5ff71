#pragma once

#include <QGroupBox>
#include <QImage>
#include <numeric>
#include <vector>

// Rows [top, bottom) of column x in exactly `colour`, top to bottom; all rows by default.
inline std::vector<int> RowsOf(const QImage& image, int x, QRgb colour, int top = 0,
                               int bottom = -1)
{
    std::vector<int> rows;
    for (int y = top; y < (bottom < 0 ? image.height() : bottom); ++y)
        if (image.pixel(x, y) == colour)
            rows.push_back(y);
    return rows;
}

inline std::vector<int> RowRange(int first, int end)
{
    std::vector<int> rows(end - first);
    std::iota(rows.begin(), rows.end(), first);
    return rows;
}

// The window's group boxes whose own drawing, frame and title, comes within two pixels of one of
// their controls, drawn at 100 % and at 200 %: "name@scale", once for each such control.
inline QStringList FramesNearControls(const QWidget& window)
{
    QStringList near;
    for (int scale : {1, 2})
        for (QGroupBox* box : window.findChildren<QGroupBox*>()) {
            QImage drawn(box->size() * scale, QImage::Format_ARGB32_Premultiplied);
            drawn.setDevicePixelRatio(scale);
            drawn.fill(Qt::transparent);
            const QImage clear = drawn;
            box->render(&drawn, {}, {}, {}); // the box alone: no background, no children
            for (const QWidget* control : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const QRect around = control->geometry().adjusted(-2, -2, 2, 2);
                const QRect pixels(around.topLeft() * scale, around.size() * scale);
                if (drawn.copy(pixels) != clear.copy(pixels))
                    near << QString("%1@%2").arg(box->objectName()).arg(scale);
            }
        }
    return near;
}
