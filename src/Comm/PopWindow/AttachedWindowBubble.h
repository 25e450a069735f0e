#pragma once
// What the three attached-window classes (RMAAttachedWindow,
// StatusAttachedWindow, MAAttachedWindow) share: a borderless window that
// shows one view inside a drawn bubble, placed beside a point. The fields,
// their accessors, the geometry and the bubble image live here once; each
// window class adds its defaults, window settings, delegate and closing.
//
// The bubble is drawn once per change into an image the size of the window;
// the window's frame view shows that image as its background (through the
// kit's drawFrame hook, see drawBubble()), so showing the window, moving its
// parent or redrawing the hosted view costs no bubble drawing.
#include <cstdint>
#include <memory>

#include "Comm/PopWindow/AttachedWindowGeometry.h"
#include "kit/Notification.h"
#include "kit/ui/Color.h"
#include "kit/ui/Image.h"
#include "kit/ui/Responder.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

class AttachedWindowBubble {
public:
    virtual ~AttachedWindowBubble();
    AttachedWindowBubble(const AttachedWindowBubble&) = delete;
    AttachedWindowBubble& operator=(const AttachedWindowBubble&) = delete;

    // ---- the look (setters keep their limits, then redraw the bubble) ----
    // The bubble's fill (not the platform's window background).
    const kit::Color& windowBackgroundColor() const { return fillColor_; }
    void setBackgroundColor(const kit::Color& c);
    // nullptr: nothing; else the bubble is filled with the image as a pattern.
    void setBackgroundImage(std::shared_ptr<kit::Image> image);
    const kit::Color& borderColor() const { return borderColor_; }
    void setBorderColor(const kit::Color& c);
    // Never larger than the view margin.
    float borderWidth() const { return borderWidth_; }
    void setBorderWidth(float w);
    float viewMargin() const { return metrics_.viewMargin; }
    void setViewMargin(float m);
    float arrowBaseWidth() const { return metrics_.arrowBaseWidth; }
    void setArrowBaseWidth(float w);
    float arrowHeight() const { return metrics_.arrowHeight; }
    void setArrowHeight(float h);
    // Read and set as numbers: 1.0 or 0.0; the setter truncates to an integer.
    float hasArrow() const { return metrics_.hasArrow ? 1.0f : 0.0f; }
    void setHasArrow(float on);
    float cornerRadius() const { return metrics_.cornerRadius; }
    void setCornerRadius(float r);
    float drawsRoundCornerBesideArrow() const { return metrics_.drawsRoundCornerBesideArrow ? 1.0f : 0.0f; }
    void setDrawsRoundCornerBesideArrow(float on);

    // Moves the window beside a new point and side (12 is stored as is, not
    // resolved: the window's corner then sits on the point).
    void setPoint(kit::Point point, int32_t side);
    // The handler of the window's own resize notification.
    void windowDidResize();

    // ---- what the window is attached to ----
    kit::View* attachedView() const { return view_.get(); }
    kit::Window* attachedWindow() const { return window_.get(); }
    kit::Point point() const { return point_; }
    int32_t side() const { return side_; }
    float distance() const { return distance_; }
    const kit::Rect& viewFrame() const { return viewFrame_; }
    const AttachedWindowMetrics& metrics() const { return metrics_; }
    // The bubble as last drawn (the size of the window).
    const std::shared_ptr<kit::Image>& bubbleImage() const { return bubble_; }

    // ---- the core ----
    int32_t _bestSideForAutomaticPosition() const;
    float _arrowInset() const;
    void _updateGeometry();
    kit::BezierPath _backgroundPath() const;
    void _appendArrowToPath(kit::BezierPath& path) const;
    // The bubble drawn into an image of the window's size.
    std::shared_ptr<kit::Image> _backgroundColorPatternImage() const;
    void _updateBackground();
    void _redisplay();

protected:
    struct Defaults {
        kit::Color fill;
        kit::Color border;
        float borderWidth = 1;
        AttachedWindowMetrics metrics;
    };

    explicit AttachedWindowBubble(kit::Window& host);

    // The creation steps the three classes share, after their window
    // settings: store the view, point, parent, side and distance, take the
    // defaults, resolve an automatic side, lay out, draw the bubble, host the
    // view and observe the window's own resize (and, when asked, its loss of
    // key status, which calls closeMattachedWindow()).
    void attach(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent, int32_t side,
                float distance, const Defaults& defaults, bool observeResignKey);
    // For the window's drawFrame: the bubble image as the window's background.
    void drawBubble() const;
    // Called when the window loses key status (when observed).
    virtual void closeMattachedWindow() {}

private:
    kit::Point pointOnScreen() const;
    kit::Size viewSize() const;

    kit::Window& host_;
    kit::Color borderColor_;
    float borderWidth_ = 0;
    AttachedWindowMetrics metrics_;
    kit::Color fillColor_;
    std::shared_ptr<kit::Image> fillPattern_;
    kit::Weak<kit::View> view_;
    kit::Weak<kit::Window> window_;
    kit::Point point_;
    int32_t side_ = 0;
    float distance_ = 0;
    kit::Rect viewFrame_;
    bool resizing_ = false;
    std::shared_ptr<kit::Image> bubble_;
    kit::NotificationCenter::Token resizeToken_ = 0, resignKeyToken_ = 0;
};
