#pragma once
// Scroll views: a document view seen through a clip view, with a vertical
// scroller beside (or over) it.
//
//   ScrollView (flipped: frames inside it are measured from its top)
//   ├── ClipView "contentView"    the visible part of the document
//   │    └── document view        any view, as tall as its content
//   ├── ClipView header clip      only when the document brings a header
//   │    └── header view          (a table's column headers), see ScrollDocument
//   └── Scroller                  the vertical scroller
//
// The clip view is flipped exactly when its document view is (the platform's
// rule): a flipped document (a table) shows its top at bounds origin y = 0;
// an unflipped one keeps its origin at the lower left, so scrolling to its
// origin shows its bottom and scrollToTop() shows its top edge.
//
//   auto sv = std::make_shared<kit::ScrollView>(kit::Rect(20, 20, 300, 200));
//   sv->setHasVerticalScroller(true);
//   sv->setDocumentView(list);                  // any view; its frame is its size
//   sv->scrollPoint(kit::Point{0, 120});       // a point of the document to the visible origin
//   sv->documentVisibleRect();                  // what is seen, in document coordinates
//
// Scrolling: the wheel (deltaY / 15 notches of three line scrolls each),
// the scroller (knob drag and page clicks) and code (scrollPoint,
// ClipView::scrollToPoint) all end in ClipView::scrollToPoint, which keeps
// the visible rectangle inside the document, and reflectScrolledClipView(),
// which moves the scroller. The clip view follows its document's frame
// changes by itself (the document keeps its place when it grows).
//
// Tiling: tile() lays out the clip views and the scroller for the current
// frame, header and style; a subclass overrides it to place things its own
// way. The width a legacy scroller takes comes from
// Scroller::widthForControlSize() of the vertical scroller; an overlay-style
// scroller takes no width (the content keeps the full width under it).
// autohidesScrollers hides the scroller while the whole document is visible.
//
// Layout files: { "class": "ScrollView", "frame": [...], "hasVerticalScroller": true,
//   "autohidesScrollers": true, "scrollerStyle": "overlay" | "legacy",
//   "drawsBackground": false, "backgroundColor": [r, g, b], "verticalLineScroll": 12,
//   "subviews": [ { the document view } ] }: the first subview the file gives
// becomes the document view when the file has been loaded.
#include <functional>
#include <memory>
#include <string>

#include "kit/Notification.h"
#include "kit/ui/Color.h"
#include "kit/ui/Layout.h"
#include "kit/ui/Scroller.h"
#include "kit/ui/View.h"

namespace kit {

class ScrollView;

// Posted by a clip view (as sender) whenever its bounds origin changed.
inline constexpr const char* ViewBoundsDidChangeNotification = "ViewBoundsDidChangeNotification";

// A document view that brings a header to show above the scrolled content
// (a table's header view) and wants to hear when what is visible of it
// changes (to make the rows now in view).
class ScrollDocument {
public:
    virtual ~ScrollDocument() = default;
    virtual std::shared_ptr<View> scrollHeaderView() { return nullptr; }
    // `visible` is the document's visible rectangle, in its own coordinates.
    virtual void documentVisibleRectDidChange(const Rect& visible) {}
};

class ClipView : public View {
public:
    explicit ClipView(const Rect& frame = Rect());
    ~ClipView() override;

    View* documentView() const { return document_.get(); }
    std::shared_ptr<View> documentViewPtr() const { return document_; }
    // Replaces the document view (nullptr removes it) and scrolls to the
    // document's top.
    void setDocumentView(std::shared_ptr<View> doc);
    bool isFlipped() const override { return document_ && document_->isFlipped(); }

    // The visible part of the document, in the document's coordinates.
    Rect documentVisibleRect() const;
    // Moves the bounds origin to `p` (clip coordinates, the document's for a
    // document at origin 0), kept inside the document; tells the scroll view.
    void scrollToPoint(Point p);
    // The nearest origin that keeps the visible rectangle inside the document.
    Point constrainScrollPoint(Point p) const;
    // The bounds origin that shows the document's top edge.
    Point topPoint() const;

    // A view that follows another clip view horizontally (the header clip).
    void setFollowsHorizontallyOf(ClipView* other) { follows_ = other; }

    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool d) { drawsBackground_ = d; setNeedsDisplay(); }
    const Color& backgroundColor() const { return background_; }
    void setBackgroundColor(const Color& c) { background_ = c; setNeedsDisplay(); }
    void drawRect(const Rect& dirty) override;

protected:
    void frameDidChange(const Rect& oldFrame) override;

private:
    friend class ScrollView;
    void documentFrameChanged(const Rect& oldDocFrame);
    void notifyScrolled();
    std::shared_ptr<View> document_;
    Rect lastDocFrame_;
    NotificationCenter::Token docObserver_ = 0;
    ClipView* follows_ = nullptr;
    bool drawsBackground_ = false;
    Color background_ = Color::white();
};

class ScrollView : public View {
public:
    explicit ScrollView(const Rect& frame = Rect());
    ~ScrollView() override;

    bool isFlipped() const override { return true; }

    ClipView* contentView() const { return clip_.get(); }
    View* documentView() const { return clip_->documentView(); }
    void setDocumentView(std::shared_ptr<View> doc);
    // The clip view that shows the document's header, or nullptr.
    ClipView* headerClipView() const { return headerClip_.get(); }

    // The size of the content area (the clip view's frame size).
    Size contentSize() const { return clip_->frame().size; }
    Rect documentVisibleRect() const { return clip_->documentVisibleRect(); }
    // Scrolls so that `p` (document coordinates) lies at the visible origin.
    void scrollPoint(Point p);
    // Shows the document's top edge (its origin when it is flipped).
    void scrollToTop();

    bool hasVerticalScroller() const { return hasVertical_; }
    void setHasVerticalScroller(bool h);
    Scroller* verticalScroller() const { return scroller_.get(); }
    void setVerticalScroller(std::shared_ptr<Scroller> s);
    bool autohidesScrollers() const { return autohides_; }
    void setAutohidesScrollers(bool a);
    // The style asked for; overlay needs a scroller that can draw it.
    ScrollerStyle scrollerStyle() const { return style_; }
    void setScrollerStyle(ScrollerStyle s);
    ScrollerStyle effectiveScrollerStyle() const;
    double verticalLineScroll() const { return lineScroll_; }
    void setVerticalLineScroll(double d) { lineScroll_ = d; }
    // How much of the old page stays in view on a page scroll.
    double verticalPageScroll() const { return pageOverlap_; }
    void setVerticalPageScroll(double d) { pageOverlap_ = d; }

    bool drawsBackground() const { return clip_->drawsBackground(); }
    void setDrawsBackground(bool d) { clip_->setDrawsBackground(d); }
    const Color& backgroundColor() const { return clip_->backgroundColor(); }
    void setBackgroundColor(const Color& c) { clip_->setBackgroundColor(c); }

    // Lays out the clip views and the scroller (see the top of this file).
    virtual void tile();
    // Brings the scroller in line with the clip view's position and the
    // document's size; called after every scroll and resize.
    virtual void reflectScrolledClipView(ClipView* clip);

    void scrollWheel(Event& e) override;
    void awakeFromNib() override;
    bool setLayoutProperty(const std::string& key, const Value& value) override;

protected:
    void frameDidChange(const Rect& oldFrame) override;
    // The width the vertical scroller takes from the content while tiling.
    double verticalScrollerWidthForTiling() const;

private:
    void scrollerAction();
    void updateHeader();
    std::shared_ptr<ClipView> clip_;
    std::shared_ptr<ClipView> headerClip_;
    std::shared_ptr<Scroller> scroller_;
    bool hasVertical_ = false;
    bool autohides_ = false;
    ScrollerStyle style_ = ScrollerStyle::Legacy;
    double lineScroll_ = 10;
    double pageOverlap_ = 10;
    bool tiling_ = false;
};

// Re-sorts a view's subviews with a strict weak ordering (`less(a, b)`: a
// lies below b); views that compare equal keep their order. Stacking on
// screen and hit-testing follow the new order.
void sortSubviews(View& parent, const std::function<bool(const View& a, const View& b)>& less);

KIT_REGISTER_VIEW(ScrollView);
KIT_REGISTER_VIEW(ClipView);
KIT_REGISTER_VIEW(Scroller);

}  // namespace kit
