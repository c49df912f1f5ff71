#include "app/CounterLabel.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QImage Rendered(QWidget& widget, qreal scale)
{
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    widget.render(&image);
    return image;
}

} // namespace

// A counter draws its value where and as a label would, at 100 % and at 200 %, also one too
// wide for it.
TEST(CounterLabel, DrawsItsValueAsALabelWould)
{
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    for (const QString value : {"-", "0", "7.001", "1.234.567.890", "18.446.744.073.709.551.615"}) {
        QLabel label(value);
        label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        CounterLabel counter(value, {0, 0, 97, 13}, nullptr);
        for (QWidget* widget : {static_cast<QWidget*>(&label), static_cast<QWidget*>(&counter)}) {
            widget->setFont(font);
            widget->resize(97, 13);
        }
        for (const qreal scale : {1.0, 2.0})
            EXPECT_EQ(Rendered(label, scale), Rendered(counter, scale))
                << value.toStdString() << scale;
    }
}
