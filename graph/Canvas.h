#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPoint>

namespace graph {

// [left, right) x [top, bottom): the right column and the bottom row are not part of it.
struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;
};

// Drawing surface over an RGB32 image with pixel-exact primitives; everything drawn outside the
// image is clipped.
class Canvas {
public:
    explicit Canvas(QImage& image);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void SetPenColor(QRgb color) { penColor_ = color; }
    void SetBrushColor(QRgb color) { brushColor_ = color; }
    void SetFontColor(QRgb color) { fontColor_ = color; }
    // `cellHeight` counts the whole character cell (ascent plus descent); Qt's pixel size counts
    // only the smaller em, so the largest size whose cell fits is taken.
    void SetFont(const QString& family, int cellHeight);

    void MoveTo(int x, int y) { pen_ = {x, y}; }
    // Horizontal or vertical lines only. The end point is not drawn and becomes the pen position.
    void LineTo(int x, int y);
    void SetPixel(int x, int y, QRgb color);
    // Fills with the brush colour.
    void FillRect(const PixelRect& rect);
    // Copies `source` so that its top left corner lands on `destination`; the two may overlap.
    void CopyRect(QPoint destination, const PixelRect& source);

    int TextWidth(const QString& text) const;
    // Draws `text` in the font colour with its right edge at x and its top at y, on its character
    // cell filled with the brush colour.
    void TextOutRightTop(int x, int y, const QString& text);

private:
    void FillRectWith(const PixelRect& rect, QRgb color);
    // Fetched once per operation: every access to the image's pixels checks whether to detach.
    QRgb* Pixels() { return reinterpret_cast<QRgb*>(image_.bits()); }
    int Stride() const { return static_cast<int>(image_.bytesPerLine() / sizeof(QRgb)); }

    QImage& image_;
    QRgb penColor_ = qRgb(0, 0, 0);
    QRgb brushColor_ = qRgb(255, 255, 255);
    QRgb fontColor_ = qRgb(0, 0, 0);
    QPoint pen_;
    QFont font_;
    QFontMetrics metrics_;
};

} // namespace graph
