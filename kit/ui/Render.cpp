#include "kit/ui/Render.h"

#include <QImage>
#include <QPainter>
#include <cstring>

#include "kit/ui/QtBridge.h"
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
        std::memcpy(img.scanLine(y), &argb_[size_t(y) * width_], size_t(width_) * sizeof(uint32_t));
    return img.save(QString::fromStdString(path), "PNG");
}

namespace {
QImage renderImage(QWidget* w, const QRegion& region) {
    QImage img(w->size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    // The region keeps its place in the image (render() puts its corner at the offset).
    w->render(&img, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
    return img;
}

Bitmap toBitmap(const QImage& image) {
    QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    Bitmap b(plain.width(), plain.height());
    for (int y = 0; y < plain.height(); ++y) {
        std::memcpy(&b.data()[size_t(y) * plain.width()], plain.constScanLine(y), size_t(plain.width()) * sizeof(uint32_t));
    }
    return b;
}

// Draws the visible children of `parent` (and theirs) over `into`, which
// shows `origin` (a window) at its top left.
void drawChildWindows(QPainter& p, const Window& origin, const Window& parent) {
    const Rect o = origin.frame();
    for (auto& child : parent.childWindows()) {
        if (!child->isVisible()) continue;
        QWidget* cw = widgetOf(*child);
        if (!cw) continue;
        const Rect f = child->frame();
        // Screen y grows upwards; the image's rows downwards.
        QPointF at(f.x() - o.x(), o.maxY() - f.maxY());
        QImage img = renderImage(cw, QRegion(cw->rect()));
        p.save();
        p.setOpacity(child->alphaValue());
        p.drawImage(at, img);
        p.restore();
        drawChildWindows(p, origin, *child);
    }
}
}  // namespace

Bitmap renderView(View& v, std::optional<Rect> dirty) {
    QWidget* w = widgetOf(v);
    if (!w) return Bitmap();
    QRegion region(w->rect());
    if (dirty) {
        Rect b = v.bounds();
        double y = v.isFlipped() ? dirty->y() - b.y() : b.height() - (dirty->maxY() - b.y());
        region = QRegion(QRectF(dirty->x() - b.x(), y, dirty->width(), dirty->height()).toAlignedRect());
        // Drawn as the view's own redraw of that area; its subviews draw as
        // when a view over them changed.
        if (auto* vw = dynamic_cast<ViewWidget*>(w)) vw->askToRedraw(region.boundingRect());
    }
    return toBitmap(renderImage(w, region));
}

Bitmap renderWindow(Window& win, bool withChildren) {
    QWidget* w = widgetOf(win);
    if (!w) return Bitmap();
    QImage img = renderImage(w, QRegion(w->rect()));
    if (withChildren && !win.childWindows().empty()) {
        QPainter p(&img);
        drawChildWindows(p, win, win);
    }
    return toBitmap(img);
}

}  // namespace kit
