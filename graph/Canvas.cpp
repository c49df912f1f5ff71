#include "graph/Canvas.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

namespace graph {

Canvas::Canvas(QImage& image) : image_(image), metrics_(font_, &image)
{
    Q_ASSERT(image.format() == QImage::Format_RGB32);
}

void Canvas::SetFont(const QString& family, int cellHeight)
{
    QFont font(family);
    // Single-colour glyphs keep the labels in exactly the font colour.
    font.setStyleStrategy(QFont::NoAntialias);
    for (int pixelSize = cellHeight; pixelSize > 1; --pixelSize) {
        font.setPixelSize(pixelSize);
        if (QFontMetrics(font, &image_).height() <= cellHeight)
            break;
    }
    font_ = font;
    metrics_ = QFontMetrics(font_, &image_);
}

void Canvas::LineTo(int x, int y)
{
    Q_ASSERT(x == pen_.x() || y == pen_.y());
    if (y == pen_.y()) {
        // [left, right) runs from the start up to, not including, the end point.
        const bool rightwards = x >= pen_.x();
        const int left = rightwards ? pen_.x() : x + 1;
        const int right = rightwards ? x : pen_.x() + 1;
        FillRectWith(PixelRect{left, y, right, y + 1}, penColor_);
    } else {
        const bool downwards = y >= pen_.y();
        const int top = downwards ? pen_.y() : y + 1;
        const int bottom = downwards ? y : pen_.y() + 1;
        FillRectWith(PixelRect{x, top, x + 1, bottom}, penColor_);
    }
    pen_ = {x, y};
}

void Canvas::SetPixel(int x, int y, QRgb color)
{
    if (x >= 0 && x < image_.width() && y >= 0 && y < image_.height())
        Pixels()[y * Stride() + x] = color;
}

void Canvas::FillRect(const PixelRect& rect)
{
    FillRectWith(rect, brushColor_);
}

void Canvas::FillRectWith(const PixelRect& rect, QRgb color)
{
    const int left = std::max(rect.left, 0);
    const int right = std::min(rect.right, image_.width());
    const int top = std::max(rect.top, 0);
    const int bottom = std::min(rect.bottom, image_.height());
    if (left >= right)
        return;
    QRgb* const pixels = Pixels();
    const int stride = Stride();
    for (int y = top; y < bottom; ++y)
        std::fill(pixels + y * stride + left, pixels + y * stride + right, color);
}

void Canvas::CopyRect(QPoint destination, const PixelRect& source)
{
    const int dx = destination.x() - source.left;
    const int dy = destination.y() - source.top;
    // The part of the source whose pixels and whose destination both lie on the image.
    const int left = std::max({source.left, 0, -dx});
    const int right = std::min({source.right, image_.width(), image_.width() - dx});
    const int top = std::max({source.top, 0, -dy});
    const int bottom = std::min({source.bottom, image_.height(), image_.height() - dy});
    if (left >= right || top >= bottom)
        return;
    const auto bytes = static_cast<std::size_t>(right - left) * sizeof(QRgb);
    QRgb* const pixels = Pixels();
    const int stride = Stride();
    const auto copyRow = [&](int y) {
        std::memmove(pixels + (y + dy) * stride + left + dx, pixels + y * stride + left, bytes);
    };
    // Rows are visited so that none is overwritten before it has been copied.
    if (dy > 0) {
        for (int y = bottom - 1; y >= top; --y)
            copyRow(y);
    } else {
        for (int y = top; y < bottom; ++y)
            copyRow(y);
    }
}

int Canvas::TextWidth(const QString& text) const
{
    return metrics_.horizontalAdvance(text);
}

void Canvas::TextOutRightTop(int x, int y, const QString& text)
{
    const int left = x - TextWidth(text);
    FillRectWith(PixelRect{left, y, x, y + metrics_.height()}, brushColor_);
    QPainter painter(&image_);
    painter.setFont(font_);
    painter.setPen(QColor(fontColor_));
    painter.drawText(left, y + metrics_.ascent(), text);
}

} // namespace graph
