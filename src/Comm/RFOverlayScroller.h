#pragma once
// A vertical scroller that floats over its scroll view's content: it draws
// only its knob, without a track, and dims to half opacity when the pointer
// or the content moves. Made by layout files (inside an RFOverlayScrollView).
#include <memory>

#include "kit/ui/Layout.h"
#include "kit/ui/Scroller.h"

class RFOverlayScroller : public kit::Scroller {
public:
    explicit RFOverlayScroller(const kit::Rect& frame = kit::Rect());

    void awakeFromNib() override;
    // One tracking area (entered, exited and moved, while the application is
    // active) that
    // follows the scroller's bounds; a second call replaces the first.
    void commonInitializer();
    kit::TrackingArea* trackingArea() const { return trackingArea_.get(); }

    void drawRect(const kit::Rect& dirty) override;
    void drawKnobSlotInRect(const kit::Rect& slotRect, bool highlight) override {}

    // A scroll: dims to half opacity and fades (to the same) 1.5 s later.
    void setFloatValue(float v) override;
    void mouseEntered(kit::Event& e) override;
    void mouseMoved(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void fadeOut();

    // Only this class itself draws as an overlay scroller, not a subclass.
    bool isCompatibleWithOverlayScrollers() const override;
    static double zeroWidth() { return 0; }
    // The class's width for a control size and style; zeroWidth() while a
    // ZeroWidthScope lives (the overlay scroll view's tiling).
    static double scrollerWidthForControlSize(kit::ControlSize size, kit::ScrollerStyle style);
    double widthForControlSize(kit::ControlSize size, kit::ScrollerStyle style) const override {
        return scrollerWidthForControlSize(size, style);
    }
    class ZeroWidthScope {
    public:
        ZeroWidthScope() { ++zeroWidthDepth_; }
        ~ZeroWidthScope() { --zeroWidthDepth_; }
        ZeroWidthScope(const ZeroWidthScope&) = delete;
        ZeroWidthScope& operator=(const ZeroWidthScope&) = delete;
    };

    // How long the animated dimming takes (entry, exit, fade).
    static constexpr double kFadeDuration = 0.5;
    static constexpr double kFadeDelay = 1.5;
    static constexpr double kDimmedAlpha = 0.5;

private:
    void animateAlpha(double alpha, double duration);
    std::shared_ptr<kit::TrackingArea> trackingArea_;
    inline static int zeroWidthDepth_ = 0;
};

KIT_REGISTER_VIEW(RFOverlayScroller);
