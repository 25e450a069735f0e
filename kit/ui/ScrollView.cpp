#include "kit/ui/ScrollView.h"

#include <algorithm>

#include "kit/ui/Graphics.h"
#include "kit/ui/QtBridge.h"

namespace kit {

namespace {
constexpr const char* kScrollerAction = "_doScroller:";
// One wheel notch is 15 degrees; it scrolls this many lines.
constexpr double kDegreesPerNotch = 15;
constexpr double kLinesPerNotch = 3;
}  // namespace

// ---- ClipView ----

ClipView::ClipView(const Rect& frame) : View(frame) { setAutoresizesSubviews(false); }

ClipView::~ClipView() {
    if (docObserver_) NotificationCenter::defaultCenter().removeObserver(docObserver_);
}

void ClipView::setDocumentView(std::shared_ptr<View> doc) {
    if (doc == document_) return;
    if (docObserver_) NotificationCenter::defaultCenter().removeObserver(docObserver_);
    docObserver_ = 0;
    if (document_ && document_->superview() == this) document_->removeFromSuperview();
    document_ = std::move(doc);
    if (document_) {
        addSubview(document_);
        lastDocFrame_ = document_->frame();
        docObserver_ = NotificationCenter::defaultCenter().addObserver(
            ViewFrameDidChangeNotification, document_.get(), [this](const Notification&) {
                Rect old = lastDocFrame_;
                if (!document_) return;
                lastDocFrame_ = document_->frame();
                documentFrameChanged(old);
            });
    }
    // The flippedness may have changed with the document: place it again.
    for (auto& s : subviews()) detail::ViewAccess::applyQtGeometry(*s);
    Point top = topPoint();
    if (top != bounds().origin) setBoundsOrigin(top);
    notifyScrolled();
}

Rect ClipView::documentVisibleRect() const {
    if (!document_) return Rect();
    Rect df = document_->frame();
    Rect visible = intersectionRect(bounds(), df);
    return Rect(visible.x() - df.x() + document_->bounds().x(), visible.y() - df.y() + document_->bounds().y(),
                visible.width(), visible.height());
}

Point ClipView::constrainScrollPoint(Point p) const {
    if (!document_) return Point{0, 0};
    Rect df = document_->frame();
    Size s = frame().size;
    double x = std::clamp(p.x, df.x(), std::max(df.x(), df.maxX() - s.width));
    double y = std::clamp(p.y, df.y(), std::max(df.y(), df.maxY() - s.height));
    return Point{x, y};
}

Point ClipView::topPoint() const {
    if (!document_) return Point{0, 0};
    Rect df = document_->frame();
    if (isFlipped()) return constrainScrollPoint(df.origin);
    return constrainScrollPoint(Point{df.x(), df.maxY() - frame().height()});
}

void ClipView::scrollToPoint(Point p) {
    Point q = constrainScrollPoint(p);
    if (q == bounds().origin) return;
    setBoundsOrigin(q);
    notifyScrolled();
}

void ClipView::notifyScrolled() {
    if (auto* doc = dynamic_cast<ScrollDocument*>(document_.get())) doc->documentVisibleRectDidChange(documentVisibleRect());
    if (auto* sv = dynamic_cast<ScrollView*>(superview())) sv->reflectScrolledClipView(this);
    NotificationCenter::defaultCenter().post(ViewBoundsDidChangeNotification, this);
}

void ClipView::documentFrameChanged(const Rect& old) {
    auto* sv = dynamic_cast<ScrollView*>(superview());
    // A header that changed height changes the whole tiling.
    if (sv && sv->headerClipView() == this) {
        if (old.height() != document_->frame().height()) sv->tile();
        return;
    }
    Point q = constrainScrollPoint(bounds().origin);
    if (q != bounds().origin) setBoundsOrigin(q);
    notifyScrolled();
}

void ClipView::frameDidChange(const Rect&) {
    Point q = constrainScrollPoint(bounds().origin);
    if (q != bounds().origin) setBoundsOrigin(q);
    if (document_) notifyScrolled();
}

void ClipView::drawRect(const Rect& dirty) {
    if (!drawsBackground_) return;
    background_.setFill();
    BezierPath::fillRect(dirty);
}

// ---- ScrollView ----

ScrollView::ScrollView(const Rect& frame) : View(frame) {
    clip_ = std::make_shared<ClipView>(Rect(0, 0, frame.width(), frame.height()));
    addSubview(clip_);
    registerAction(kScrollerAction, [this](Object*) { scrollerAction(); });
    setVerticalScroller(std::make_shared<Scroller>());
}

ScrollView::~ScrollView() = default;

void ScrollView::setDocumentView(std::shared_ptr<View> doc) {
    clip_->setDocumentView(std::move(doc));
    tile();
}

void ScrollView::scrollPoint(Point p) {
    View* doc = documentView();
    if (!doc) return;
    Rect df = doc->frame();
    clip_->scrollToPoint(Point{p.x - doc->bounds().x() + df.x(), p.y - doc->bounds().y() + df.y()});
}

void ScrollView::scrollToTop() { clip_->scrollToPoint(clip_->topPoint()); }

void ScrollView::setHasVerticalScroller(bool h) {
    if (h == hasVertical_) return;
    hasVertical_ = h;
    tile();
}

void ScrollView::setVerticalScroller(std::shared_ptr<Scroller> s) {
    if (s == scroller_) return;
    if (scroller_ && scroller_->superview() == this) scroller_->removeFromSuperview();
    scroller_ = std::move(s);
    if (scroller_) {
        scroller_->setTarget(this);
        scroller_->setAction(kScrollerAction);
        addSubview(scroller_);
    }
    tile();
}

void ScrollView::setAutohidesScrollers(bool a) {
    if (a == autohides_) return;
    autohides_ = a;
    tile();
}

void ScrollView::setScrollerStyle(ScrollerStyle s) {
    if (s == style_) return;
    style_ = s;
    tile();
}

ScrollerStyle ScrollView::effectiveScrollerStyle() const {
    if (style_ == ScrollerStyle::Overlay && scroller_ && scroller_->isCompatibleWithOverlayScrollers())
        return ScrollerStyle::Overlay;
    return ScrollerStyle::Legacy;
}

double ScrollView::verticalScrollerWidthForTiling() const {
    if (!scroller_) return 0;
    return scroller_->widthForControlSize(scroller_->controlSize(), effectiveScrollerStyle());
}

void ScrollView::updateHeader() {
    std::shared_ptr<View> header;
    if (auto* doc = dynamic_cast<ScrollDocument*>(documentView())) header = doc->scrollHeaderView();
    if (!header) {
        if (headerClip_) {
            headerClip_->removeFromSuperview();
            headerClip_.reset();
        }
        return;
    }
    if (!headerClip_) {
        headerClip_ = std::make_shared<ClipView>(Rect(0, 0, bounds().width(), header->frame().height()));
        headerClip_->setFollowsHorizontallyOf(clip_.get());
        addSubview(headerClip_, WindowOrderingMode::Above, clip_.get());
    }
    if (headerClip_->documentView() != header.get()) headerClip_->setDocumentView(header);
}

void ScrollView::tile() {
    if (tiling_) return;
    tiling_ = true;
    updateHeader();
    const Rect b = bounds();
    const double headerHeight = headerClip_ ? headerClip_->documentView()->frame().height() : 0;
    const double contentHeight = std::max(0.0, b.height() - headerHeight);
    const ScrollerStyle style = effectiveScrollerStyle();
    View* doc = documentView();
    const bool fits = !doc || doc->frame().height() <= contentHeight;
    const bool showScroller = scroller_ && hasVertical_ && !(autohides_ && fits);
    const double taken = (showScroller && style == ScrollerStyle::Legacy) ? verticalScrollerWidthForTiling() : 0;
    const double contentWidth = std::max(0.0, b.width() - taken);

    if (headerClip_) headerClip_->setFrame(Rect(b.x(), b.y(), contentWidth, headerHeight));
    clip_->setFrame(Rect(b.x(), b.y() + headerHeight, contentWidth, contentHeight));
    if (scroller_) {
        scroller_->setScrollerStyle(style);
        double w = verticalScrollerWidthForTiling();
        scroller_->setFrame(Rect(b.maxX() - w, b.y() + headerHeight, w, contentHeight));
        scroller_->setHidden(!showScroller);
    }
    tiling_ = false;
    reflectScrolledClipView(clip_.get());
}

void ScrollView::reflectScrolledClipView(ClipView* clip) {
    if (clip != clip_.get()) return;
    if (headerClip_) headerClip_->setBoundsOrigin(Point{clip_->bounds().x(), headerClip_->bounds().y()});
    if (!scroller_) return;
    double proportion = 1, value = 0;
    if (View* doc = documentView()) {
        Rect df = doc->frame();
        Rect cb = clip_->bounds();
        double travel = df.height() - cb.height();
        if (travel > 0) {
            proportion = cb.height() / df.height();
            double fromBottom = (cb.y() - df.y()) / travel;
            value = clip_->isFlipped() ? fromBottom : 1.0 - fromBottom;
        }
    }
    scroller_->setKnobProportion(proportion);
    value = std::clamp(value, 0.0, 1.0);
    if (float(value) != scroller_->floatValue()) scroller_->setFloatValue(float(value));
    // Autohiding: the scroller comes and goes with the need to scroll.
    if (!tiling_ && hasVertical_ && autohides_ && scroller_->isHidden() != (proportion >= 1.0)) tile();
}

void ScrollView::scrollerAction() {
    View* doc = documentView();
    if (!doc || !scroller_) return;
    Rect df = doc->frame();
    Rect cb = clip_->bounds();
    double travel = df.height() - cb.height();
    if (travel <= 0) return;
    const bool flipped = clip_->isFlipped();
    // Distances measured downwards from the document's top edge.
    double fromTop = flipped ? cb.y() - df.y() : df.maxY() - cb.maxY();
    switch (scroller_->hitPart()) {
    case ScrollerPart::Knob: fromTop = scroller_->doubleValue() * travel; break;
    case ScrollerPart::DecrementPage: fromTop -= std::max(1.0, cb.height() - pageOverlap_); break;
    case ScrollerPart::IncrementPage: fromTop += std::max(1.0, cb.height() - pageOverlap_); break;
    default: return;
    }
    fromTop = std::clamp(fromTop, 0.0, travel);
    double y = flipped ? df.y() + fromTop : df.maxY() - cb.height() - fromTop;
    clip_->scrollToPoint(Point{cb.x(), y});
    // The knob may rest between two positions the clip view can take.
    if (scroller_->hitPart() != ScrollerPart::Knob) reflectScrolledClipView(clip_.get());
}

void ScrollView::scrollWheel(Event& e) {
    View* doc = documentView();
    if (!doc || (e.deltaX == 0 && e.deltaY == 0)) {
        View::scrollWheel(e);
        return;
    }
    Rect df = doc->frame();
    Rect cb = clip_->bounds();
    if (df.height() <= cb.height() && df.width() <= cb.width()) {
        // Nothing to scroll here: an enclosing scroll view may take it.
        View::scrollWheel(e);
        return;
    }
    const double perDegree = kLinesPerNotch * lineScroll_ / kDegreesPerNotch;
    double dy = e.deltaY * perDegree;   // positive: towards the document's top
    double dx = e.deltaX * perDegree;   // positive: towards its left edge
    Point p = cb.origin;
    p.x -= dx;
    p.y += clip_->isFlipped() ? -dy : dy;
    clip_->scrollToPoint(p);
}

void ScrollView::frameDidChange(const Rect&) { tile(); }

void ScrollView::awakeFromNib() {
    // The layout file's own subviews: a scroller becomes the vertical
    // scroller, the first other view the document view.
    std::vector<std::shared_ptr<View>> foreign;
    for (auto& s : subviews())
        if (s != clip_ && s != headerClip_ && s != scroller_) foreign.push_back(s);
    for (auto& v : foreign) {
        if (auto s = std::dynamic_pointer_cast<Scroller>(v)) {
            setVerticalScroller(s);
        } else if (!documentView()) {
            v->removeFromSuperview();
            setDocumentView(v);
        }
    }
    tile();
}

bool ScrollView::setLayoutProperty(const std::string& key, const Value& value) {
    if (key == "hasVerticalScroller") setHasVerticalScroller(value.asBool().value_or(false));
    else if (key == "autohidesScrollers") setAutohidesScrollers(value.asBool().value_or(false));
    else if (key == "scrollerStyle") {
        std::string s = value.asString().value_or("");
        if (s != "overlay" && s != "legacy") return false;
        setScrollerStyle(s == "overlay" ? ScrollerStyle::Overlay : ScrollerStyle::Legacy);
    } else if (key == "drawsBackground") setDrawsBackground(value.asBool().value_or(false));
    else if (key == "backgroundColor") {
        const Value::Array* a = value.asArray();
        if (!a || (a->size() != 3 && a->size() != 4)) return false;
        auto c = [&](size_t i) { return (*a)[i].asReal().value_or(0); };
        setBackgroundColor(Color::rgb255(c(0), c(1), c(2), a->size() == 4 ? c(3) : 1.0));
    } else if (key == "verticalLineScroll") setVerticalLineScroll(value.asReal().value_or(10));
    else return false;
    return true;
}

// ---- re-sorting ----

void sortSubviews(View& parent, const std::function<bool(const View& a, const View& b)>& less) {
    std::vector<std::shared_ptr<View>> order = parent.subviews();
    std::stable_sort(order.begin(), order.end(), [&](auto& a, auto& b) { return less(*a, *b); });
    if (order == parent.subviews()) return;
    // Taking each view to the top in the new order leaves them in that order.
    for (auto& v : order) parent.addSubview(v, WindowOrderingMode::Above, nullptr);
}

}  // namespace kit
