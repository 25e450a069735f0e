#include "kit/ui/Render.h"

#include <QImage>
#include <QPainter>

#include "kit/ui/View.h"
#include "kit/ui/ViewWidget.h"
#include "kit/ui/Window.h"

namespace kit {

Color Bitmap::pixel(int col, int row) const {
    if (col < 0 || row < 0 || col >= width_ || row >= height_) return Color::clear();
    uint32_t p = argb(col, row);
    return Color::rgb255((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff, ((p >> 24) & 0xff) / 255.0);
}

Color Bitmap::pixelAtPoint(Point p, bool flipped) const {
    int col = int(std::floor(p.x));
    int row = flipped ? int(std::floor(p.y)) : height_ - 1 - int(std::floor(p.y));
    return pixel(col, row);
}

bool Bitmap::savePNG(const std::string& path) const {
    QImage img(width_, height_, QImage::Format_ARGB32);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) img.setPixel(x, y, argb(x, y));
    return img.save(QString::fromStdString(path), "PNG");
}

namespace {
Bitmap fromWidget(QWidget* w, const QRegion& region) {
    QImage img(w->size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    // The region keeps its place in the image (render() puts its corner at the offset).
    w->render(&img, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
    QImage plain = img.convertToFormat(QImage::Format_ARGB32);
    Bitmap b(plain.width(), plain.height());
    for (int y = 0; y < plain.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(plain.constScanLine(y));
        for (int x = 0; x < plain.width(); ++x) b.data()[size_t(y) * plain.width() + x] = line[x];
    }
    return b;
}
}  // namespace

Bitmap renderView(View& v, std::optional<Rect> dirty) {
    QWidget* w = v.widget();
    if (!w) return Bitmap();
    QRegion region(w->rect());
    if (dirty) {
        Rect b = v.bounds();
        double y = v.isFlipped() ? dirty->y() - b.y() : b.height() - (dirty->maxY() - b.y());
        region = QRegion(QRectF(dirty->x() - b.x(), y, dirty->width(), dirty->height()).toAlignedRect());
    }
    return fromWidget(w, region);
}

Bitmap renderWindow(Window& win) {
    QWidget* w = win.topWidget();
    if (!w) return Bitmap();
    return fromWidget(w, QRegion(w->rect()));
}

}  // namespace kit
