#pragma once

#include "graph/Canvas.h"

#include <QImage>
#include <QWidget>

namespace graph {

// Image control of fixed size that shows its own RGB32 image; drawing goes through Surface().
class HistoryImage : public QWidget {
    Q_OBJECT

public:
    explicit HistoryImage(QSize size, QWidget* parent = nullptr);

    Canvas& Surface() { return canvas_; }
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    Canvas canvas_;
};

} // namespace graph
