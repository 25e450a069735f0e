#include "kit/ui/View.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <cmath>

#include "kit/Notification.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Application.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/MainThreadCheck.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/ViewWidget.h"
#include "kit/ui/Window.h"

namespace kit {

QWidget* widgetOf(const View& v) { return v.widget(); }
void detail::ViewAccess::applyQtGeometry(View& v) { v.applyQtGeometry(); }

View::View(const Rect& frame) : frame_(frame) {
    KIT_ASSERT_MAIN_THREAD();
    ensureUiApp();
    widget_ = new ViewWidget(this);
    widget_->hide();
    applyQtGeometry();
}

View::~View() {
    // Subviews that others still hold lose their place in this tree; their
    // widgets leave ours so that deleting ours cannot take them along.
    auto subs = std::move(subviews_);
    for (auto& s : subs) {
        s->superview_ = nullptr;
        s->setNextResponder(nullptr);
        if (s.use_count() > 1) {
            s->setWindowForTree(nullptr);
            if (s->widget_) s->widget_->setParent(nullptr);
        }
    }
    subs.clear();
    if (!widget_) return;
    widget_->detachView();
    if (ViewWidget::insideEventDispatch()) {
        // A handler of this widget (or of a child of it, or a signal one of
        // them emits) may still be on the stack: let Qt delete it once that
        // delivery has ended.
        widget_->hide();
        widget_->deleteLater();
    } else {
        delete widget_;
    }
    widget_ = nullptr;
}

// ---- geometry ----

Rect View::qtRectInSuperview() const {
    if (!superview_) return Rect(0, 0, frame_.width(), frame_.height());
    const View* s = superview_;
    double x = frame_.x() - s->boundsOrigin_.x;
    double yRel = frame_.y() - s->boundsOrigin_.y;
    double y = s->isFlipped() ? yRel : s->frame_.height() - yRel - frame_.height();
    return Rect(x, y, frame_.width(), frame_.height());
}

void View::applyQtGeometry() {
    if (!widget_) return;
    if (window_ && window_->frameView() == this) return;   // the window places its top widget
    Rect r = qtRectInSuperview();
    int left = int(std::lround(r.x())), top = int(std::lround(r.y()));
    int right = int(std::lround(r.maxX())), bottom = int(std::lround(r.maxY()));
    widget_->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

void View::setFrame(const Rect& frame) {
    KIT_ASSERT_MAIN_THREAD();
    if (frame == frame_) return;
    Rect old = frame_;
    frame_ = frame;
    if (window_) window_->invalidateTrackingCache();
    applyQtGeometry();
    if (old.size != frame.size) {
        resizeSubviewsWithOldSize(old.size);
        // Children of an unflipped view hang from its top: their Qt position
        // depends on this view's height.
        for (auto& s : subviews_) s->applyQtGeometry();
    }
    updateTrackingAreas();
    frameDidChange(old);
    if (postsFrameChanged_) NotificationCenter::defaultCenter().post(ViewFrameDidChangeNotification, this);
}

void View::setBoundsOrigin(Point p) {
    KIT_ASSERT_MAIN_THREAD();
    boundsOrigin_ = p;
    if (window_) window_->invalidateTrackingCache();
    for (auto& s : subviews_) s->applyQtGeometry();
    setNeedsDisplay(true);
}

void View::resizeSubviewsWithOldSize(Size oldSize) {
    if (!autoresizesSubviews_) return;
    for (auto& s : std::vector<std::shared_ptr<View>>(subviews_)) s->resizeWithOldSuperviewSize(oldSize);
}

void View::resizeWithOldSuperviewSize(Size oldSize) {
    unsigned m = autoresizingMask_;
    if (!superview_ || m == ViewNotSizable) return;
    Size ns = superview_->frame_.size;
    auto distribute = [](double delta, double a, bool fa, double b, bool fb, double c, bool fc, double& outA,
                         double& outB, double& outC) {
        // Share delta among the flexible parts in proportion to their sizes,
        // equally when all of those are zero.
        double total = (fa ? a : 0) + (fb ? b : 0) + (fc ? c : 0);
        int n = int(fa) + int(fb) + int(fc);
        outA = a; outB = b; outC = c;
        if (n == 0) return;
        if (total > 0) {
            if (fa) outA = a + delta * a / total;
            if (fb) outB = b + delta * b / total;
            if (fc) outC = c + delta * c / total;
        } else {
            if (fa) outA = a + delta / n;
            if (fb) outB = b + delta / n;
            if (fc) outC = c + delta / n;
        }
    };
    Rect f = frame_;
    double l, w, r;
    distribute(ns.width - oldSize.width, f.x(), m & ViewMinXMargin, f.width(), m & ViewWidthSizable,
               oldSize.width - f.maxX(), m & ViewMaxXMargin, l, w, r);
    double b, h, t;
    // In a flipped superview the "min Y" margin is the top one.
    bool flipped = superview_->isFlipped();
    double bottomMargin = f.y(), topMargin = oldSize.height - f.maxY();
    bool flexBottom = flipped ? (m & ViewMaxYMargin) : (m & ViewMinYMargin);
    bool flexTop = flipped ? (m & ViewMinYMargin) : (m & ViewMaxYMargin);
    distribute(ns.height - oldSize.height, bottomMargin, flexBottom, f.height(), m & ViewHeightSizable, topMargin,
               flexTop, b, h, t);
    setFrame(Rect(l, b, std::max(0.0, w), std::max(0.0, h)));
}

Point View::convertPointToView(Point p, const View* to) const {
    // Up to the window's base coordinates, then down into `to`.
    Point q = p;
    for (const View* v = this; v; v = v->superview_) {
        q.x -= v->boundsOrigin_.x;
        q.y -= v->boundsOrigin_.y;
        if (!v->superview_) break;
        const View* s = v->superview_;
        if (s->isFlipped() != v->isFlipped()) q.y = v->frame_.height() - q.y;
        q.x += v->frame_.x();
        q.y += v->frame_.y();
    }
    if (!to) return q;
    return to->convertPointFromView(q, nullptr);
}

Point View::convertPointFromView(Point p, const View* from) const {
    Point base = from ? from->convertPointToView(p, nullptr) : p;
    std::vector<const View*> chain;
    for (const View* v = this; v; v = v->superview_) chain.push_back(v);
    Point q = base;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const View* v = *it;
        if (v->superview_) {
            q.x -= v->frame_.x();
            q.y -= v->frame_.y();
            if (v->superview_->isFlipped() != v->isFlipped()) q.y = v->frame_.height() - q.y;
        }
        q.x += v->boundsOrigin_.x;
        q.y += v->boundsOrigin_.y;
    }
    return q;
}

Rect View::convertRectToView(const Rect& r, const View* to) const {
    Point a = convertPointToView(r.origin, to), b = convertPointToView(Point{r.maxX(), r.maxY()}, to);
    return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}
Rect View::convertRectFromView(const Rect& r, const View* from) const {
    Point a = convertPointFromView(r.origin, from), b = convertPointFromView(Point{r.maxX(), r.maxY()}, from);
    return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

// ---- tree ----

void View::addSubview(std::shared_ptr<View> v) { addSubview(std::move(v), WindowOrderingMode::Above, nullptr); }

void View::addSubview(std::shared_ptr<View> v, WindowOrderingMode place, const View* relativeTo) {
    KIT_ASSERT_MAIN_THREAD();
    if (!v || v.get() == this) return;
    std::shared_ptr<View> keep = v;
    if (v->superview_ == this) {
        subviews_.erase(std::find(subviews_.begin(), subviews_.end(), v));
    } else {
        v->viewWillMoveToSuperview(this);
        v->removeFromSuperview();
    }
    auto pos = subviews_.end();
    if (relativeTo) {
        auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == relativeTo; });
        if (it != subviews_.end()) pos = place == WindowOrderingMode::Below ? it : it + 1;
    } else if (place == WindowOrderingMode::Below) {
        pos = subviews_.begin();
    }
    const size_t index = size_t(pos - subviews_.begin());
    subviews_.insert(pos, v);
    v->superview_ = this;
    if (Responder* vc = v->viewController_.get()) {
        v->setNextResponder(vc);
        vc->setNextResponder(this);
    } else {
        v->setNextResponder(this);
    }
    if (v->widget_) {
        // A widget given a new parent lies on top of its siblings, which is
        // where a view added at the end belongs; only a view placed among
        // the others needs moving in the stack (one move, not a restack of
        // every sibling).
        const bool newParent = v->widget_->parentWidget() != widget_;
        if (newParent) v->widget_->setParent(widget_);
        View* above = index + 1 < subviews_.size() ? subviews_[index + 1].get() : nullptr;
        if (above && above->widget_) v->widget_->stackUnder(above->widget_);
        else if (!newParent) v->widget_->raise();
        v->applyQtGeometry();
        v->widget_->setVisible(!v->hidden_);
    }
    if (window_) window_->invalidateTrackingCache();
    if (v->window_ != window_) v->setWindowForTree(window_);
    v->viewDidMoveToSuperview();
}

void View::removeFromSuperview() {
    KIT_ASSERT_MAIN_THREAD();
    View* s = superview_;
    if (!s) return;
    std::shared_ptr<View> keep = shared_from_this();
    // Whatever was hovered in the leaving subtree stops being hovered.
    if (window_) window_->endHover(this);
    if (superview_ != s) return;   // an exit handler moved it already
    auto it = std::find(s->subviews_.begin(), s->subviews_.end(), keep);
    if (it != s->subviews_.end()) s->subviews_.erase(it);
    superview_ = nullptr;
    setNextResponder(viewController_.get());
    if (Responder* vc = viewController_.get()) vc->setNextResponder(nullptr);
    if (widget_) {
        widget_->hide();
        widget_->setParent(nullptr);
    }
    if (window_) {
        window_->invalidateTrackingCache();
        setWindowForTree(nullptr);
    }
    viewDidMoveToSuperview();
}

bool View::isDescendantOf(const View* v) const {
    for (const View* x = this; x; x = x->superview_)
        if (x == v) return true;
    return false;
}

void View::setWindowForTree(Window* w) {
    if (window_ == w) return;
    Weak<View> self(this);
    viewWillMoveToWindow(w);
    if (!self) return;
    // The first responder leaves a window with its view.
    if (window_ && window_->firstResponder() == this) window_->makeFirstResponder(nullptr);
    if (window_) window_->invalidateTrackingCache();
    window_ = w;
    if (w) w->invalidateTrackingCache();
    for (auto& s : std::vector<std::shared_ptr<View>>(subviews_)) s->setWindowForTree(w);
    viewDidMoveToWindow();
    if (self) updateTrackingAreas();
}

void View::attachAsFrameView(Window* w, ViewWidget* top) {
    (void)top;
    setWindowForTree(w);
}

View* View::hitTest(Point p) {
    if (hidden_) return nullptr;
    if (!pointInRect(p, frame_)) return nullptr;
    Point local{p.x - frame_.x() + boundsOrigin_.x, p.y - frame_.y()};
    if (superview_ && superview_->isFlipped() != isFlipped()) local.y = frame_.height() - local.y;
    local.y += boundsOrigin_.y;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it)
        if (View* hit = (*it)->hitTest(local)) return hit;
    return this;
}

View* View::viewWithTag(long t) {
    if (tag_ == t) return this;
    for (auto& s : subviews_)
        if (View* v = s->viewWithTag(t)) return v;
    return nullptr;
}

// ---- appearance ----

void View::setHidden(bool hidden) {
    KIT_ASSERT_MAIN_THREAD();
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    if (window_) window_->invalidateTrackingCache();
    // A top view stays as it is: its window shows and hides it.
    if (widget_ && superview_) widget_->setVisible(!hidden);
    if (hidden && window_) {
        Responder* fr = window_->firstResponder();
        if (auto* frv = dynamic_cast<View*>(fr); frv && frv->isDescendantOf(this)) window_->makeFirstResponder(nullptr);
        // A hidden view is not under the pointer any more.
        if (window_) window_->endHover(this);
    }
}

bool View::isHiddenOrHasHiddenAncestor() const {
    for (const View* v = this; v; v = v->superview_)
        if (v->hidden_) return true;
    return false;
}

void View::setAlphaValue(double a) {
    KIT_ASSERT_MAIN_THREAD();
    a = std::clamp(a, 0.0, 1.0);
    if (a == alpha_) return;
    alpha_ = a;
    if (!widget_) return;
    if (a >= 1.0) {
        widget_->setGraphicsEffect(nullptr);
    } else {
        auto* eff = qobject_cast<QGraphicsOpacityEffect*>(widget_->graphicsEffect());
        if (!eff) {
            eff = new QGraphicsOpacityEffect(widget_);
            widget_->setGraphicsEffect(eff);
        }
        eff->setOpacity(a);
    }
}

void View::setNeedsDisplay(bool flag) {
    KIT_ASSERT_MAIN_THREAD();
    needsDisplay_ = flag;
    if (flag && widget_) {
        widget_->askToRedraw(widget_->rect());
        widget_->update();
    }
}

void View::setNeedsDisplayInRect(const Rect& r) {
    KIT_ASSERT_MAIN_THREAD();
    needsDisplay_ = true;
    if (!widget_) return;
    Rect b = bounds();
    double y = isFlipped() ? r.y() - b.y() : b.height() - (r.maxY() - b.y());
    const QRect area = QRectF(r.x() - b.x(), y, r.width(), r.height()).toAlignedRect();
    widget_->askToRedraw(area);
    widget_->update(area);
}

void View::display() {
    KIT_ASSERT_MAIN_THREAD();
    needsDisplay_ = true;
    if (widget_) widget_->repaint();
}

void View::displayIfNeeded() {
    if (needsDisplay_ && widget_) widget_->repaint();
    for (auto& s : subviews_) s->displayIfNeeded();
}

namespace {
unsigned long draws = 0;
}

unsigned long View::drawCount() { return draws; }

void View::paint(QPainter& p, const Rect& dirty) {
    ++draws;
    needsDisplay_ = false;
    p.save();
    if (!isFlipped()) {
        p.translate(0, frame_.height());
        p.scale(1, -1);
    }
    p.translate(-boundsOrigin_.x, -boundsOrigin_.y);
    {
        GraphicsContext ctx(&p, isFlipped());
        drawRect(dirty);
    }
    p.restore();
}

void View::setToolTip(const std::string& s) {
    KIT_ASSERT_MAIN_THREAD();
    toolTip_ = s;
    if (widget_) widget_->setToolTip(QString::fromStdString(s));
}

// ---- tracking ----

void View::addTrackingArea(std::shared_ptr<TrackingArea> area) {
    KIT_ASSERT_MAIN_THREAD();
    if (area && std::find(trackingAreas_.begin(), trackingAreas_.end(), area) == trackingAreas_.end()) {
        trackingAreas_.push_back(std::move(area));
        if (window_) window_->invalidateTrackingCache();
    }
}

void View::removeTrackingArea(const TrackingArea* area) {
    KIT_ASSERT_MAIN_THREAD();
    if (window_) window_->invalidateTrackingCache();
    trackingAreas_.erase(std::remove_if(trackingAreas_.begin(), trackingAreas_.end(),
                                        [&](auto& a) { return a.get() == area; }),
                         trackingAreas_.end());
    for (auto it = trackingRects_.begin(); it != trackingRects_.end();) {
        if (it->second == area) it = trackingRects_.erase(it);
        else ++it;
    }
}

long View::addTrackingRect(const Rect& rect, Responder* owner, void* userData, bool assumeInside) {
    auto area = std::make_shared<TrackingArea>(
        rect, TrackingMouseEnteredAndExited | TrackingActiveAlways | (assumeInside ? TrackingAssumeInside : 0u),
        owner, userData);
    long tag = nextTrackingRectTag_++;
    trackingRects_[tag] = area.get();
    addTrackingArea(area);
    return tag;
}

void View::removeTrackingRect(long tag) {
    auto it = trackingRects_.find(tag);
    if (it == trackingRects_.end()) return;
    TrackingArea* a = it->second;
    trackingRects_.erase(it);
    removeTrackingArea(a);
}

void View::setViewController(Responder* vc) {
    viewController_ = Weak<Responder>(vc);
    if (vc) {
        setNextResponder(vc);
        vc->setNextResponder(superview_);
    } else {
        setNextResponder(superview_);
    }
}

ViewAnimator View::animator() { return ViewAnimator(this); }

}  // namespace kit
