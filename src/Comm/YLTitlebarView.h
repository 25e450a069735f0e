#pragma once
// The view that fills a custom title bar. It stays transparent unless the
// window has a drawing block: only the subviews its window controller adds
// are seen. A double click miniaturises the window when the user asked for
// that in the defaults ("AppleMiniaturizeOnDoubleClick").
#include "kit/ui/Graphics.h"
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

inline constexpr double YLCornerClipRadius = 16.0;

class YLTitlebarView : public kit::View {
public:
    explicit YLTitlebarView(const kit::Rect& frame = kit::Rect());

    void drawRect(const kit::Rect& dirty) override;
    void mouseUp(kit::Event& e) override;

    // The frame with its top corners rounded by YLCornerClipRadius.
    kit::BezierPath clippingPath() const;
    // Where and how the window title is drawn.
    kit::Rect getTitleFrame(kit::TextAttributes& attrs, kit::Window& window) const;
    void drawNoiseWithOpacity(double opacity) {}
};

KIT_REGISTER_VIEW(YLTitlebarView);
