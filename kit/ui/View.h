#pragma once
// Views: rectangles in a tree that draw themselves and take events.
//
// Coordinates: a view's frame is in its superview's coordinates, origin at the
// lower left (y up) unless the superview isFlipped(); its bounds are its own
// coordinates (origin (0, 0) unless set). The top view of a window (its frame
// view) has the window's base coordinates. The kit alone maps these values to
// Qt's pixel geometry (y_qt = H_parent - y - h for an unflipped parent), so the
// system's code computes frames exactly as the platform would.
//
// Ownership: a superview keeps its subviews (shared_ptr); a subview knows its
// superview and its window without keeping them. Create views with
// std::make_shared<SomeView>(frame). A view may be destroyed while one of its
// own event handlers runs (a "Done" button that closes its window): the kit
// defers the destruction of the widget behind it.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Responder.h"

class QPainter;
class QWidget;

namespace kit {

namespace detail {
struct ViewAccess;
}

class View;
class Window;
class ViewWidget;
class ViewAnimator;

// Autoresizing mask (the platform's values).
enum AutoresizingMask : unsigned {
    ViewNotSizable = 0,
    ViewMinXMargin = 1,
    ViewWidthSizable = 2,
    ViewMaxXMargin = 4,
    ViewMinYMargin = 8,
    ViewHeightSizable = 16,
    ViewMaxYMargin = 32,
};

enum class WindowOrderingMode { Below = -1, Out = 0, Above = 1 };

// Posted on the default notification centre with the view as sender.
inline constexpr const char* ViewFrameDidChangeNotification = "ViewFrameDidChangeNotification";

// Tracking areas: entered/exited (and moved) events for a rectangle of a view,
// sent to an owner. Options are the platform's bits.
enum TrackingAreaOptions : unsigned {
    TrackingMouseEnteredAndExited = 0x01,
    TrackingMouseMoved = 0x02,
    TrackingCursorUpdate = 0x04,
    TrackingActiveWhenFirstResponder = 0x10,
    TrackingActiveInKeyWindow = 0x20,
    TrackingActiveInActiveApp = 0x40,
    TrackingActiveAlways = 0x80,
    TrackingAssumeInside = 0x100,
    TrackingInVisibleRect = 0x200,   // follows the view's bounds; the rect is ignored
};

class TrackingArea {
public:
    TrackingArea(Rect rect, unsigned options, Responder* owner, void* userData = nullptr)
        : inside_((options & TrackingAssumeInside) != 0), rect_(rect), options_(options), owner_(owner), userData_(userData) {}
    const Rect& rect() const { return rect_; }
    unsigned options() const { return options_; }
    Responder* owner() const { return owner_.get(); }
    void* userData() const { return userData_; }

private:
    friend class Window;
    bool inside_;   // the pointer is in the area (the window keeps this)
    Rect rect_;
    unsigned options_;
    Weak<Responder> owner_;
    void* userData_;
};

class View : public Responder, public std::enable_shared_from_this<View> {
public:
    explicit View(const Rect& frame = Rect());
    ~View() override;

    // ---- geometry ----
    const Rect& frame() const { return frame_; }
    virtual void setFrame(const Rect& frame);
    void setFrameOrigin(Point p) { setFrame(Rect(p, frame_.size)); }
    void setFrameSize(Size s) { setFrame(Rect(frame_.origin, s)); }
    Rect bounds() const { return Rect(boundsOrigin_, frame_.size); }
    void setBoundsOrigin(Point p);
    virtual bool isFlipped() const { return false; }

    // The platform's conversions between a view and another view of the same
    // window; nullptr means the window's base coordinates.
    Point convertPointFromView(Point p, const View* from) const;
    Point convertPointToView(Point p, const View* to) const;
    Rect convertRectFromView(const Rect& r, const View* from) const;
    Rect convertRectToView(const Rect& r, const View* to) const;

    // ---- the tree ----
    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<View> v);
    void addSubview(std::shared_ptr<View> v, WindowOrderingMode place, const View* relativeTo);
    void removeFromSuperview();
    bool isDescendantOf(const View* v) const;
    Window* window() const { return window_; }
    // Called before and after the view (or an ancestor) changes window.
    virtual void viewWillMoveToWindow(Window* newWindow) {}
    virtual void viewDidMoveToWindow() {}
    virtual void viewWillMoveToSuperview(View* newSuperview) {}
    virtual void viewDidMoveToSuperview() {}
    // The topmost visible view under p (p in the superview's coordinates).
    virtual View* hitTest(Point p);
    bool mouseInRect(Point p, const Rect& r) const { return pointInRect(p, r); }
    View* viewWithTag(long tag);

    // ---- appearance ----
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;
    double alphaValue() const { return alpha_; }
    void setAlphaValue(double a);
    virtual bool isOpaque() const { return false; }

    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay(bool flag = true);
    void setNeedsDisplayInRect(const Rect& r);
    // Redraws now (the platform's -display).
    void display();
    void displayIfNeeded();
    // Draws the view's own content; `dirty` is the area being redrawn, in
    // bounds coordinates: the part the view asked to redraw, or all of it in
    // sight when it is drawn again for another reason (a view over it
    // changed).
    // The current graphics context is set up and clipped to what is painted.
    virtual void drawRect(const Rect& dirty) {}
    // How many times views have drawn themselves so far, all views together:
    // a window left alone draws nothing.
    static unsigned long drawCount();

    // ---- autoresizing ----
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned m) { autoresizingMask_ = m; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }
    virtual void resizeSubviewsWithOldSize(Size oldSize);
    virtual void resizeWithOldSuperviewSize(Size oldSize);
    bool postsFrameChangedNotifications() const { return postsFrameChanged_; }
    void setPostsFrameChangedNotifications(bool on) { postsFrameChanged_ = on; }

    // ---- identity ----
    long tag() const { return tag_; }
    void setTag(long t) { tag_ = t; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(const std::string& s) { identifier_ = s; }
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(const std::string& s);

    // ---- tracking ----
    void addTrackingArea(std::shared_ptr<TrackingArea> area);
    void removeTrackingArea(const TrackingArea* area);
    const std::vector<std::shared_ptr<TrackingArea>>& trackingAreas() const { return trackingAreas_; }
    // Called when the view's geometry changes so that areas can follow it.
    virtual void updateTrackingAreas() {}
    // The platform's older tracking rectangles: an active-always area over
    // `rect` whose entered/exited events carry `userData`. Returns its tag.
    long addTrackingRect(const Rect& rect, Responder* owner, void* userData, bool assumeInside);
    void removeTrackingRect(long tag);

    // ---- events ----
    // A press on a view that answers YES drags a window that is movable by
    // its background instead of reaching the view.
    virtual bool mouseDownCanMoveWindow() const { return false; }
    virtual bool acceptsFirstMouse(const Event*) { return false; }
    virtual void viewDidEndLiveResize() {}

    // A property of a layout file that the kit does not know; a class that
    // takes its own properties answers true for those it took.
    virtual bool setLayoutProperty(const std::string& key, const Value& value) { return false; }
    // The view controller whose view this is; it sits between the view and
    // the superview in the responder chain.
    void setViewController(Responder* vc);
    Responder* viewController() const { return viewController_.get(); }

    // The animator proxy: frame and alpha changes made through it glide.
    ViewAnimator animator();

protected:
    // Called after the frame changed (size or origin); default does nothing.
    virtual void frameDidChange(const Rect& oldFrame) {}

private:
    // The Qt side, for the kit alone (the widget is reached through
    // widgetOf() in kit/ui/QtBridge.h).
    friend class Window;
    friend class ViewWidget;
    friend struct detail::ViewAccess;
    friend QWidget* widgetOf(const View& v);
    ViewWidget* widget() const { return widget_; }
    void setWindowForTree(Window* w);
    void attachAsFrameView(Window* w, ViewWidget* topWidget);
    void applyQtGeometry();
    void paint(QPainter& p, const Rect& dirtyInBounds);
    // Window-level frame views map their own frame; ordinary views ask this.
    Rect qtRectInSuperview() const;

    Rect frame_;
    Point boundsOrigin_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    std::vector<std::shared_ptr<TrackingArea>> trackingAreas_;
    std::map<long, TrackingArea*> trackingRects_;
    long nextTrackingRectTag_ = 1;
    ViewWidget* widget_ = nullptr;
    bool hidden_ = false;
    double alpha_ = 1.0;
    bool needsDisplay_ = false;
    unsigned autoresizingMask_ = ViewNotSizable;
    bool autoresizesSubviews_ = true;
    bool postsFrameChanged_ = true;
    long tag_ = -1;
    std::string identifier_;
    std::string toolTip_;
    Weak<Responder> viewController_;
};

}  // namespace kit
