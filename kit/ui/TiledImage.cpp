#include "kit/ui/TiledImage.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "kit/ui/Graphics.h"

namespace kit {

void drawTiledImage(const Image& image, const Rect& rect, Point phase, double fraction) {
    GraphicsContext* ctx = GraphicsContext::current();
    const Size s = image.size();
    if (!ctx || rect.isEmpty() || !(s.width > 0) || !(s.height > 0) || !std::isfinite(s.width) ||
        !std::isfinite(s.height) || !image.isValid())
        return;
    QPainter& p = *ctx->painter();
    // One tile at the device size of the target, so the pattern stays sharp.
    const QRectF dev = p.transform().mapRect(QRectF(0, 0, s.width, s.height));
    const int pw = std::max(1, int(std::lround(dev.width()))), ph = std::max(1, int(std::lround(dev.height())));
    const QImage tile = image.rendered(pw, ph);
    QTransform t;
    if (ctx->isFlipped()) {
        t.translate(phase.x, phase.y);
    } else {
        // Contexts that run y up would show the tile upside down.
        t.translate(phase.x, phase.y + s.height);
        t.scale(1, -1);
    }
    t.scale(s.width / pw, s.height / ph);
    QBrush brush(tile);
    brush.setTransform(t);
    p.save();
    p.setOpacity(p.opacity() * std::clamp(fraction, 0.0, 1.0));
    p.fillRect(QRectF(rect.x(), rect.y(), rect.width(), rect.height()), brush);
    p.restore();
}

}  // namespace kit
