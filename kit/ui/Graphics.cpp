#include "kit/ui/Graphics.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <vector>

#include "kit/ui/AppTextMeasure.h"
#include "kit/ui/QtBridge.h"

namespace kit {

// ---- colours and fonts ----

void Color::setFill() const {
    if (auto* c = GraphicsContext::current()) c->state().fill = *this;
}
void Color::setStroke() const {
    if (auto* c = GraphicsContext::current()) c->state().stroke = *this;
}
void Color::set() const {
    setFill();
    setStroke();
}

Font Font::systemFont(double size) {
    Font f;
    f.size_ = size > 0 ? size : systemFontSize();
    return f;
}
Font Font::boldSystemFont(double size) {
    Font f = systemFont(size);
    f.bold_ = true;
    return f;
}
Font Font::fontWithName(const std::string& family, double size) {
    Font f = systemFont(size);
    if (!family.empty() && QFontDatabase::hasFamily(QString::fromStdString(family))) f.family_ = family;
    return f;
}

QFont toQFont(const Font& f) {
    QFont q = f.familyName().empty() ? QApplication::font() : QFont(QString::fromStdString(f.familyName()));
    q.setPixelSize(std::max(1, int(std::lround(f.pointSize()))));
    q.setBold(f.isBold());
    q.setHintingPreference(QFont::PreferNoHinting);
    return q;
}

Size Font::sizeOfString(const std::string& text) const {
    QFontMetricsF m(toQFont(*this));
    return Size{m.horizontalAdvance(QString::fromStdString(text)), m.height()};
}
double Font::ascender() const { return QFontMetricsF(toQFont(*this)).ascent(); }
double Font::descender() const { return QFontMetricsF(toQFont(*this)).descent(); }
double Font::lineHeight() const { return QFontMetricsF(toQFont(*this)).height(); }

// ---- context ----

namespace {
thread_local GraphicsContext* gCurrent = nullptr;

// A three-pass box blur over the alpha-premultiplied image, close to a
// gaussian of the given radius. Each box is a running sum that slides along
// the line (a pixel past the edge counts as clear), so the cost does not grow
// with the radius.
void blurImage(QImage& img, double radius) {
    const int r = int(std::ceil(radius / 2.0));
    if (r <= 0) return;
    const int w = img.width(), h = img.height(), n = 2 * r + 1;
    auto* pixels = reinterpret_cast<QRgb*>(img.bits());
    const qsizetype rowStep = img.bytesPerLine() / qsizetype(sizeof(QRgb));
    std::vector<QRgb> line(size_t(std::max(w, h)));
    // Blurs `count` pixels `step` apart, starting at `first`.
    auto blurLine = [&](QRgb* first, int count, qsizetype step) {
        for (int i = 0; i < count; ++i) line[size_t(i)] = first[i * step];
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= count) return;
            const QRgb p = line[size_t(i)];
            sum[0] += sign * qRed(p); sum[1] += sign * qGreen(p); sum[2] += sign * qBlue(p); sum[3] += sign * qAlpha(p);
        };
        for (int k = -r; k <= r; ++k) add(k, 1);
        for (int i = 0; i < count; ++i) {
            first[i * step] = qRgba(sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n);
            add(i - r, -1);
            add(i + r + 1, 1);
        }
    };
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) blurLine(pixels + y * rowStep, w, 1);
        for (int x = 0; x < w; ++x) blurLine(pixels + x, h, rowStep);
    }
}
}  // namespace

GraphicsContext::GraphicsContext(QPainter* painter, bool flipped)
    : painter_(painter), flipped_(flipped), states_(1), previous_(gCurrent) {
    painter_->setRenderHint(QPainter::Antialiasing, true);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    gCurrent = this;
}
GraphicsContext::~GraphicsContext() { gCurrent = previous_; }

GraphicsContext* GraphicsContext::current() { return gCurrent; }

void GraphicsContext::save() {
    painter_->save();
    states_.push_back(states_.back());
}
void GraphicsContext::restore() {
    if (states_.size() <= 1) return;   // unbalanced restore: ignored, as the platform logs and ignores
    painter_->restore();
    states_.pop_back();
}
void GraphicsContext::saveGraphicsState() {
    if (gCurrent) gCurrent->save();
}
void GraphicsContext::restoreGraphicsState() {
    if (gCurrent) gCurrent->restore();
}
void GraphicsContext::setShouldAntialias(bool on) { painter_->setRenderHint(QPainter::Antialiasing, on); }

void GraphicsContext::clipToRect(const Rect& r) {
    painter_->setClipRect(QRectF(r.x(), r.y(), r.width(), r.height()), Qt::IntersectClip);
}

void GraphicsContext::paintWithShadow(const Rect& userBounds, const std::function<void(QPainter&)>& draw) {
    const auto& sh = state().shadow;
    if (sh && sh->color.alpha > 0) {
        const double margin = std::ceil(sh->blurRadius) + 2;
        QRectF dev = painter_->transform().mapRect(QRectF(userBounds.x(), userBounds.y(), userBounds.width(), userBounds.height()));
        QRect area = dev.adjusted(-margin, -margin, margin, margin).toAlignedRect();
        if (area.width() > 0 && area.height() > 0 && area.width() < 8192 && area.height() < 8192) {
            QImage img(area.size(), QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            {
                QPainter p(&img);
                p.setRenderHints(painter_->renderHints());
                p.setTransform(painter_->transform() * QTransform::fromTranslate(-area.x(), -area.y()));
                draw(p);
                p.setCompositionMode(QPainter::CompositionMode_SourceIn);
                p.resetTransform();
                p.fillRect(img.rect(), toQColor(sh->color));
            }
            blurImage(img, sh->blurRadius);
            painter_->save();
            painter_->resetTransform();
            // The offset is y-up in device space whatever the view's flippedness.
            painter_->drawImage(QPointF(area.x() + sh->offset.width, area.y() - sh->offset.height), img);
            painter_->restore();
        }
    }
    draw(*painter_);
}

void GraphicsContext::drawString(const std::string& text, const Rect& r, const TextAttributes& a) {
    QPainter& p = *painter_;
    p.save();
    // Draw in a local y-down frame whose top-left is the rectangle's top-left.
    if (flipped_) p.translate(r.x(), r.y());
    else { p.translate(r.x(), r.maxY()); p.scale(1, -1); }
    QFont f = toQFont(a.font);
    p.setFont(f);
    int flags = 0;
    switch (a.alignment) {
    case TextAlignment::Right: flags |= Qt::AlignRight; break;
    case TextAlignment::Center: flags |= Qt::AlignHCenter; break;
    case TextAlignment::Justified: flags |= Qt::AlignJustify; break;
    default: flags |= Qt::AlignLeft; break;
    }
    QRectF box(0, 0, r.width(), r.height());
    std::string shown = text;
    if (a.lineBreak == LineBreakMode::WordWrapping) flags |= Qt::TextWordWrap;
    else if (a.lineBreak == LineBreakMode::CharWrapping) flags |= Qt::TextWrapAnywhere;
    else shown = truncatedText(text, a.font, r.width(), a.lineBreak);
    const QString s = QString::fromStdString(shown);
    flags |= Qt::AlignTop;
    auto paintText = [&](QPainter& q, const QColor& c, QPointF off) {
        q.setPen(c);
        q.setFont(f);
        q.drawText(box.translated(off), flags, s);
    };
    if (a.shadow && a.shadow->color.alpha > 0)
        paintText(p, toQColor(a.shadow->color), QPointF(a.shadow->offset.width, -a.shadow->offset.height));
    paintText(p, toQColor(a.color), QPointF(0, 0));
    p.restore();
}

void Shadow::set() const {
    if (auto* c = GraphicsContext::current()) c->state().shadow = *this;
}

// ---- paths ----

BezierPath::BezierPath() : path_(std::make_unique<QPainterPath>()) {}
BezierPath::BezierPath(const BezierPath& o)
    : path_(std::make_unique<QPainterPath>(*o.path_)), lineWidth_(o.lineWidth_), join_(o.join_), cap_(o.cap_),
      miterLimit_(o.miterLimit_), dash_(o.dash_), dashPhase_(o.dashPhase_) {}
BezierPath& BezierPath::operator=(const BezierPath& o) {
    if (this != &o) {
        *path_ = *o.path_;
        lineWidth_ = o.lineWidth_; join_ = o.join_; cap_ = o.cap_; miterLimit_ = o.miterLimit_;
        dash_ = o.dash_; dashPhase_ = o.dashPhase_;
    }
    return *this;
}
BezierPath::~BezierPath() = default;

const QPainterPath& BezierPath::qtPath() const { return *path_; }

BezierPath BezierPath::rect(const Rect& r) {
    BezierPath p;
    p.appendRect(r);
    return p;
}
BezierPath BezierPath::roundedRect(const Rect& r, double rx, double ry) {
    BezierPath p;
    rx = std::clamp(rx, 0.0, std::max(0.0, r.width() / 2));
    ry = std::clamp(ry, 0.0, std::max(0.0, r.height() / 2));
    if (rx <= 0 || ry <= 0) p.appendRect(r);
    else p.path_->addRoundedRect(QRectF(r.x(), r.y(), r.width(), r.height()), rx, ry);
    return p;
}
BezierPath BezierPath::oval(const Rect& r) {
    BezierPath p;
    p.path_->addEllipse(QRectF(r.x(), r.y(), r.width(), r.height()));
    return p;
}
void BezierPath::fillRect(const Rect& r) { rect(r).fill(); }
void BezierPath::strokeRect(const Rect& r) { rect(r).stroke(); }

void BezierPath::moveTo(Point p) { path_->moveTo(p.x, p.y); }
void BezierPath::lineTo(Point p) { path_->lineTo(p.x, p.y); }
void BezierPath::curveTo(Point e, Point c1, Point c2) { path_->cubicTo(c1.x, c1.y, c2.x, c2.y, e.x, e.y); }
void BezierPath::appendRect(const Rect& r) { path_->addRect(QRectF(r.x(), r.y(), r.width(), r.height())); }
void BezierPath::closePath() { path_->closeSubpath(); }
void BezierPath::removeAllPoints() { *path_ = QPainterPath(); }
void BezierPath::appendPath(const BezierPath& o) { path_->addPath(*o.path_); }
bool BezierPath::isEmpty() const { return path_->elementCount() == 0; }
Point BezierPath::currentPoint() const { auto c = path_->currentPosition(); return {c.x(), c.y()}; }
Rect BezierPath::bounds() const {
    QRectF b = path_->boundingRect();
    return Rect(b.x(), b.y(), b.width(), b.height());
}
bool BezierPath::containsPoint(Point p) const { return path_->contains(QPointF(p.x, p.y)); }

void BezierPath::appendArc(Point c, double radius, double startAngle, double endAngle, bool clockwise) {
    // Qt measures angles with y down; the path's space is the view's, y up, so
    // the angles are mirrored and the sweep direction with them.
    double sweep = endAngle - startAngle;
    if (!clockwise) { while (sweep < 0) sweep += 360; }
    else { while (sweep > 0) sweep -= 360; }
    QRectF box(c.x - radius, c.y - radius, 2 * radius, 2 * radius);
    const double a0 = startAngle * M_PI / 180.0;
    QPointF start(c.x + radius * std::cos(a0), c.y + radius * std::sin(a0));
    if (path_->elementCount() == 0) path_->moveTo(start);
    else path_->lineTo(start);
    path_->arcTo(box, -startAngle, -sweep);
}

void BezierPath::appendArcFromPoint(Point p1, Point p2, double radius) {
    QPointF p0 = path_->elementCount() ? path_->currentPosition() : QPointF(p1.x, p1.y);
    if (path_->elementCount() == 0) path_->moveTo(p0);
    const double v1x = p0.x() - p1.x, v1y = p0.y() - p1.y, v2x = p2.x - p1.x, v2y = p2.y - p1.y;
    const double l1 = std::hypot(v1x, v1y), l2 = std::hypot(v2x, v2y);
    if (radius <= 0 || l1 == 0 || l2 == 0) { path_->lineTo(p1.x, p1.y); return; }
    const double ux = v1x / l1, uy = v1y / l1, wx = v2x / l2, wy = v2y / l2;
    const double cosA = std::clamp(ux * wx + uy * wy, -1.0, 1.0);
    const double angle = std::acos(cosA);          // angle at p1 between the two lines
    if (angle < 1e-9 || std::abs(angle - M_PI) < 1e-9) { path_->lineTo(p1.x, p1.y); return; }
    const double t = radius / std::tan(angle / 2);  // distance from p1 to the tangent points
    QPointF t1(p1.x + ux * t, p1.y + uy * t), t2(p1.x + wx * t, p1.y + wy * t);
    double bx = ux + wx, by = uy + wy, bl = std::hypot(bx, by);
    const double d = radius / std::sin(angle / 2);
    QPointF center(p1.x + bx / bl * d, p1.y + by / bl * d);
    path_->lineTo(t1);
    double a1 = std::atan2(t1.y() - center.y(), t1.x() - center.x()) * 180 / M_PI;
    double a2 = std::atan2(t2.y() - center.y(), t2.x() - center.x()) * 180 / M_PI;
    double sweep = a2 - a1;
    while (sweep > 180) sweep -= 360;
    while (sweep < -180) sweep += 360;
    QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    path_->arcTo(box, -a1, -sweep);
}

void BezierPath::setLineDash(const std::vector<double>& pattern, double phase) {
    dash_ = pattern;
    dashPhase_ = phase;
}

namespace {
QPen penFor(const BezierPath& p, const Color& c) {
    QPen pen(toQColor(c));
    pen.setWidthF(p.lineWidth());
    pen.setJoinStyle(p.lineJoinStyle() == LineJoin::Round ? Qt::RoundJoin
                     : p.lineJoinStyle() == LineJoin::Bevel ? Qt::BevelJoin : Qt::MiterJoin);
    pen.setCapStyle(p.lineCapStyle() == LineCap::Round ? Qt::RoundCap
                    : p.lineCapStyle() == LineCap::Square ? Qt::SquareCap : Qt::FlatCap);
    pen.setMiterLimit(p.miterLimit());
    if (!p.lineDash().empty() && p.lineWidth() > 0) {
        // Qt counts dashes in line widths; the kit counts them in points.
        QVector<qreal> d;
        for (double v : p.lineDash()) d << std::max(v, 0.001) / p.lineWidth();
        if (d.size() % 2) d << d.back();
        pen.setDashPattern(d);
        pen.setDashOffset(p.lineDashPhase() / p.lineWidth());
    }
    return pen;
}
}  // namespace

void BezierPath::fill() const {
    auto* c = GraphicsContext::current();
    if (!c) return;
    QColor col = toQColor(c->state().fill);
    c->paintWithShadow(bounds(), [&](QPainter& p) { p.fillPath(*path_, col); });
}
void BezierPath::stroke() const {
    auto* c = GraphicsContext::current();
    if (!c) return;
    QPen pen = penFor(*this, c->state().stroke);
    c->paintWithShadow(insetRect(bounds(), -lineWidth_, -lineWidth_), [&](QPainter& p) { p.strokePath(*path_, pen); });
}
void BezierPath::addClip() const {
    if (auto* c = GraphicsContext::current()) c->painter()->setClipPath(*path_, Qt::IntersectClip);
}

// ---- gradients ----

Gradient::Gradient(Color start, Color end) : colors_{start, end}, locations_{0.0, 1.0} {}
Gradient::Gradient(std::vector<Color> colors, std::vector<double> locations)
    : colors_(std::move(colors)), locations_(std::move(locations)) {
    if (locations_.size() != colors_.size()) {
        locations_.clear();
        for (size_t i = 0; i < colors_.size(); ++i)
            locations_.push_back(colors_.size() > 1 ? double(i) / double(colors_.size() - 1) : 0.0);
    }
}

namespace {
QLinearGradient qtGradient(const Gradient& g, QPointF a, QPointF b) {
    QLinearGradient lg(a, b);
    for (size_t i = 0; i < g.colors().size(); ++i) lg.setColorAt(std::clamp(g.locations()[i], 0.0, 1.0), toQColor(g.colors()[i]));
    lg.setSpread(QGradient::PadSpread);
    return lg;
}
// The end points of an angled gradient across r: through the centre, far
// enough that every corner is reached.
std::pair<QPointF, QPointF> angledEnds(const Rect& r, double angle) {
    const double rad = angle * M_PI / 180.0, dx = std::cos(rad), dy = std::sin(rad);
    const double half = std::abs(dx) * r.width() / 2 + std::abs(dy) * r.height() / 2;
    QPointF c(r.midX(), r.midY());
    return {c - QPointF(dx * half, dy * half), c + QPointF(dx * half, dy * half)};
}
}  // namespace

void Gradient::drawInRect(const Rect& r, double angle) const { drawInBezierPath(BezierPath::rect(r), angle); }

void Gradient::drawInBezierPath(const BezierPath& path, double angle) const {
    auto* c = GraphicsContext::current();
    if (!c || colors_.empty()) return;
    auto [a, b] = angledEnds(path.bounds(), angle);
    QBrush brush(qtGradient(*this, a, b));
    c->painter()->fillPath(path.qtPath(), brush);
}

void Gradient::drawFromPoint(Point start, Point end) const {
    auto* c = GraphicsContext::current();
    if (!c || colors_.empty()) return;
    QPainter* p = c->painter();
    QBrush brush(qtGradient(*this, QPointF(start.x, start.y), QPointF(end.x, end.y)));
    // Fill whatever the clip lets through.
    QRectF all = p->transform().inverted().mapRect(QRectF(p->viewport()));
    p->fillRect(all, brush);
}

}  // namespace kit
