#include "kit/ui/ViewImage.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstring>

#include "kit/ui/Application.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Render.h"
#include "kit/ui/View.h"

namespace kit {

namespace {

std::shared_ptr<Image> imageFromQImage(const QImage& q) {
    if (q.isNull()) return nullptr;
    auto img = Image::withSize(Size{double(q.width()), double(q.height())});
    img->drawInto([&] {
        QPainter* p = GraphicsContext::current()->painter();
        p->save();
        p->resetTransform();
        p->setCompositionMode(QPainter::CompositionMode_Source);
        p->drawImage(QPoint(0, 0), q);
        p->restore();
    });
    return img;
}

}  // namespace

std::shared_ptr<Image> imageOfView(View& v, const Rect& rect) {
    const Rect b = v.bounds();
    const Rect r = rect.isEmpty() ? b : rect;
    Bitmap full = renderView(v, r);
    if (full.width() == 0 || full.height() == 0) return nullptr;
    QImage all(full.width(), full.height(), QImage::Format_ARGB32);
    for (int y = 0; y < full.height(); ++y)
        std::memcpy(all.scanLine(y), &full.data()[size_t(y) * full.width()], size_t(full.width()) * sizeof(uint32_t));
    // The rectangle in the bitmap's rows, which run from the top.
    const double top = v.isFlipped() ? r.y() - b.y() : b.height() - (r.maxY() - b.y());
    QRect area(int(std::lround(r.x() - b.x())), int(std::lround(top)), int(std::lround(r.width())),
               int(std::lround(r.height())));
    return imageFromQImage(all.copy(area));
}

std::shared_ptr<Image> imageFromData(const std::string& bytes) {
    if (bytes.empty()) return nullptr;
    ensureUiApp();
    QImage q;
    if (!q.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()))) return nullptr;
    return imageFromQImage(q.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

}  // namespace kit
