#include "Comm/PopWindow/AttachedWindowBubble.h"

#include <algorithm>
#include <cmath>

#include "kit/ui/Graphics.h"
#include "kit/ui/TiledImage.h"

AttachedWindowBubble::AttachedWindowBubble(kit::Window& host) : host_(host) {}

AttachedWindowBubble::~AttachedWindowBubble() {
    auto& nc = kit::NotificationCenter::defaultCenter();
    if (resizeToken_) nc.removeObserver(resizeToken_);
    if (resignKeyToken_) nc.removeObserver(resignKeyToken_);
}

void AttachedWindowBubble::attach(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent,
                                  int32_t side, float distance, const Defaults& d, bool observeResignKey) {
    view_ = kit::Weak<kit::View>(view.get());
    window_ = kit::Weak<kit::Window>(parent);
    point_ = point;
    side_ = side;
    distance_ = distance;

    borderColor_ = d.border;
    borderWidth_ = d.borderWidth;
    metrics_ = d.metrics;
    fillColor_ = d.fill;
    resizing_ = false;
    // The bubble is all the window shows; the platform's background stays clear.
    host_.setBackgroundColor(kit::Color::clear());

    if (side_ == AttachedWindowSideAutomatic) side_ = _bestSideForAutomaticPosition();
    _updateGeometry();
    _updateBackground();
    if (host_.contentView() && view) host_.contentView()->addSubview(view);

    auto& nc = kit::NotificationCenter::defaultCenter();
    resizeToken_ = nc.addObserver(kit::WindowDidResizeNotification, &host_,
                                  [this](const kit::Notification&) { windowDidResize(); });
    if (observeResignKey)
        resignKeyToken_ = nc.addObserver(kit::WindowDidResignKeyNotification, &host_,
                                         [this](const kit::Notification&) { closeMattachedWindow(); });
}

kit::Point AttachedWindowBubble::pointOnScreen() const {
    if (kit::Window* parent = window_.get()) return parent->convertPointToScreen(point_);
    return point_;
}

kit::Size AttachedWindowBubble::viewSize() const {
    if (kit::View* v = view_.get()) return v->frame().size;
    return kit::Size{};
}

int32_t AttachedWindowBubble::_bestSideForAutomaticPosition() const {
    kit::Window* parent = window_.get();
    const kit::Screen screen = parent ? parent->screen() : kit::Screen::main();
    const kit::Rect visible = screen.visibleFrame;
    const kit::Rect frame = parent ? parent->frame() : visible;
    return attached::bestSide(metrics_, viewSize(), pointOnScreen(), distance_, visible, frame,
                              attached::userSpaceScaleFactor());
}

float AttachedWindowBubble::_arrowInset() const {
    return attached::arrowInset(metrics_, attached::userSpaceScaleFactor());
}

void AttachedWindowBubble::_updateGeometry() {
    const attached::Frames f =
        attached::frames(metrics_, viewSize(), pointOnScreen(), side_, distance_, attached::userSpaceScaleFactor());
    viewFrame_ = f.view;
    host_.setFrame(f.window, false);
    if (kit::View* v = view_.get()) v->setFrame(viewFrame_);
}

kit::BezierPath AttachedWindowBubble::_backgroundPath() const {
    return attached::backgroundPath(metrics_, viewFrame_, side_, attached::userSpaceScaleFactor());
}

void AttachedWindowBubble::_appendArrowToPath(kit::BezierPath& path) const {
    attached::appendArrowToPath(metrics_, path, side_, attached::userSpaceScaleFactor());
}

std::shared_ptr<kit::Image> AttachedWindowBubble::_backgroundColorPatternImage() const {
    const kit::Size size = host_.frame().size;
    auto image = kit::Image::withSize(size);
    const double s = attached::userSpaceScaleFactor();
    image->drawInto([&] {
        kit::GraphicsContext::saveGraphicsState();
        kit::BezierPath path = _backgroundPath();
        path.addClip();
        if (fillPattern_) {
            kit::drawTiledImage(*fillPattern_, kit::Rect(0, 0, size.width, size.height));
        } else {
            fillColor_.setFill();
            path.fill();
        }
        if (borderWidth_ > 0) {
            // Twice the width: the clip keeps the inner half.
            path.setLineWidth(2 * borderWidth_ * s);
            borderColor_.setStroke();
            path.stroke();
        }
        kit::GraphicsContext::restoreGraphicsState();
    });
    return image;
}

void AttachedWindowBubble::_updateBackground() {
    bubble_ = _backgroundColorPatternImage();
    if (host_.isVisible()) host_.display();
}

void AttachedWindowBubble::drawBubble() const {
    if (bubble_) {
        const kit::Size size = host_.frame().size;
        kit::drawTiledImage(*bubble_, kit::Rect(0, 0, size.width, size.height));
    }
}

void AttachedWindowBubble::_redisplay() {
    // The geometry update resizes the window, whose resize notification
    // arrives here while the guard is set and is dropped.
    if (resizing_) return;
    resizing_ = true;
    _updateGeometry();
    _updateBackground();
    resizing_ = false;
}

void AttachedWindowBubble::windowDidResize() { _redisplay(); }

void AttachedWindowBubble::setPoint(kit::Point point, int32_t side) {
    point_ = point;
    side_ = side;
    _updateGeometry();
    _updateBackground();
}

// ---- setters ----

void AttachedWindowBubble::setBackgroundColor(const kit::Color& c) {
    if (c == fillColor_ && !fillPattern_) return;
    fillColor_ = c;
    fillPattern_.reset();
    _updateBackground();
}

void AttachedWindowBubble::setBackgroundImage(std::shared_ptr<kit::Image> image) {
    if (!image) return;
    fillPattern_ = std::move(image);
    _updateBackground();
}

void AttachedWindowBubble::setBorderColor(const kit::Color& c) {
    if (c == borderColor_) return;
    borderColor_ = c;
    _updateBackground();
}

void AttachedWindowBubble::setBorderWidth(float w) {
    if (w == borderWidth_) return;
    borderWidth_ = std::min(w, metrics_.viewMargin);
    _updateBackground();
}

void AttachedWindowBubble::setViewMargin(float m) {
    if (m == metrics_.viewMargin) return;
    metrics_.viewMargin = std::max(m, 0.0f);
    setCornerRadius(metrics_.cornerRadius);
}

void AttachedWindowBubble::setCornerRadius(float r) {
    const double shortSide = std::min(viewFrame_.width(), viewFrame_.height());
    const float limit = float((shortSide + 2 * metrics_.viewMargin - metrics_.arrowBaseWidth) / 2);
    metrics_.cornerRadius = std::min(std::max(r, 0.0f), limit);
    setArrowBaseWidth(metrics_.arrowBaseWidth);
}

void AttachedWindowBubble::setArrowBaseWidth(float w) {
    const double shortSide = std::min(viewFrame_.width(), viewFrame_.height());
    double limit = shortSide + 2 * metrics_.viewMargin - metrics_.cornerRadius;
    if (metrics_.drawsRoundCornerBesideArrow) limit -= metrics_.cornerRadius;
    metrics_.arrowBaseWidth = std::min(w, float(limit));
    _redisplay();
}

void AttachedWindowBubble::setArrowHeight(float h) {
    if (h == metrics_.arrowHeight) return;
    metrics_.arrowHeight = h;
    _redisplay();
}

namespace {
// A number read as a flag: its integer part, non-zero for YES.
bool flagOf(float v) { return std::isfinite(v) ? std::trunc(v) != 0 : false; }
}  // namespace

void AttachedWindowBubble::setHasArrow(float on) {
    const bool flag = flagOf(on);
    if (flag == metrics_.hasArrow) return;
    metrics_.hasArrow = flag;
    _updateBackground();
}

void AttachedWindowBubble::setDrawsRoundCornerBesideArrow(float on) {
    const bool flag = flagOf(on);
    if (flag == metrics_.drawsRoundCornerBesideArrow) return;
    metrics_.drawsRoundCornerBesideArrow = flag;
    _redisplay();
}
