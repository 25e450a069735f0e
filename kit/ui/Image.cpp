#include "kit/ui/Image.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <map>
#include <mutex>

#include "kit/Bundle.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/QtBridge.h"

namespace kit {

struct Image::Impl {
    std::unique_ptr<QSvgRenderer> svg;
    QImage raster;
};

Image::Image() : impl_(std::make_unique<Impl>()) {}
Image::~Image() = default;

bool Image::isValid() const { return (impl_->svg && impl_->svg->isValid()) || !impl_->raster.isNull(); }

std::shared_ptr<Image> Image::fromFile(const std::string& path) {
    std::shared_ptr<Image> img(new Image());
    QString qpath = QString::fromStdString(path);
    if (qpath.endsWith(".svg", Qt::CaseInsensitive)) {
        img->impl_->svg = std::make_unique<QSvgRenderer>(qpath);
        if (!img->impl_->svg->isValid()) return nullptr;
        QSizeF s = img->impl_->svg->defaultSize();
        img->size_ = Size{s.width(), s.height()};
    } else {
        img->impl_->raster = QImage(qpath);
        if (img->impl_->raster.isNull()) return nullptr;
        img->size_ = Size{double(img->impl_->raster.width()), double(img->impl_->raster.height())};
    }
    return img;
}

std::shared_ptr<Image> Image::named(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<Image>> cache;
    if (name.empty()) return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    std::shared_ptr<Image> img;
    for (const char* type : {"svg", "png"}) {
        if (auto path = Bundle::main().pathForResource(name, type)) {
            img = fromFile(*path);
            if (img) break;
        }
    }
    if (img) img->name_ = name;
    cache[name] = img;   // misses are cached too, as the platform does
    return img;
}

std::shared_ptr<Image> Image::withSize(Size size) {
    std::shared_ptr<Image> img(new Image());
    img->size_ = size;
    img->impl_->raster = QImage(std::max(1, int(std::ceil(size.width))), std::max(1, int(std::ceil(size.height))),
                                QImage::Format_ARGB32_Premultiplied);
    img->impl_->raster.fill(Qt::transparent);
    return img;
}

std::shared_ptr<Image> Image::fromRaster(const QImage& raster) {
    std::shared_ptr<Image> img(new Image());
    img->size_ = Size{double(raster.width()), double(raster.height())};
    img->impl_->raster = raster;
    return img;
}

QImage Image::rendered(int w, int h) const {
    if (impl_->svg) {
        QImage out(std::max(1, w), std::max(1, h), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing);
        impl_->svg->render(&p, QRectF(0, 0, w, h));
        return out;
    }
    if (impl_->raster.width() == w && impl_->raster.height() == h) return impl_->raster;
    return impl_->raster.scaled(std::max(1, w), std::max(1, h), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void Image::drawInto(const std::function<void()>& draw) {
    if (impl_->raster.isNull()) {
        impl_->raster = rendered(int(std::ceil(size_.width)), int(std::ceil(size_.height)));
        impl_->svg.reset();
    }
    QPainter p(&impl_->raster);
    p.translate(0, impl_->raster.height());
    p.scale(1, -1);
    GraphicsContext ctx(&p, false);
    draw();
}

void Image::drawInRect(const Rect& rect, const Rect& from, CompositingOperation op, double fraction) const {
    auto* ctx = GraphicsContext::current();
    if (!ctx || rect.isEmpty() || !isValid()) return;
    QPainter& p = *ctx->painter();
    // Render at the device size of the target so SVGs stay sharp.
    QRectF dev = p.transform().mapRect(QRectF(rect.x(), rect.y(), rect.width(), rect.height()));
    Rect src = from.isEmpty() ? Rect(0, 0, size_.width, size_.height) : from;
    double sx = size_.width > 0 ? dev.width() / src.width() : 1, sy = size_.height > 0 ? dev.height() / src.height() : 1;
    int fullW = std::max(1, int(std::lround(size_.width * sx))), fullH = std::max(1, int(std::lround(size_.height * sy)));
    QImage full = rendered(fullW, fullH);
    // The source rectangle is y-up in the image; QImage rows run top-down.
    QRectF srcPx(src.x() * sx, (size_.height - src.maxY()) * sy, src.width() * sx, src.height() * sy);
    p.save();
    switch (op) {
    case CompositingOperation::Copy: p.setCompositionMode(QPainter::CompositionMode_Source); break;
    case CompositingOperation::Clear: p.setCompositionMode(QPainter::CompositionMode_Clear); break;
    case CompositingOperation::SourceIn: p.setCompositionMode(QPainter::CompositionMode_SourceIn); break;
    case CompositingOperation::SourceOut: p.setCompositionMode(QPainter::CompositionMode_SourceOut); break;
    case CompositingOperation::SourceAtop: p.setCompositionMode(QPainter::CompositionMode_SourceAtop); break;
    case CompositingOperation::DestinationOver: p.setCompositionMode(QPainter::CompositionMode_DestinationOver); break;
    default: break;
    }
    p.setOpacity(p.opacity() * std::clamp(fraction, 0.0, 1.0));
    if (ctx->isFlipped()) {
        p.drawImage(QRectF(rect.x(), rect.y(), rect.width(), rect.height()), full, srcPx);
    } else {
        p.translate(rect.x(), rect.maxY());
        p.scale(1, -1);
        p.drawImage(QRectF(0, 0, rect.width(), rect.height()), full, srcPx);
    }
    p.restore();
}

}  // namespace kit
