#include "Comm/YLTitlebarView.h"

#include "Comm/TCAdditions.h"
#include "Comm/TCImageWindow.h"
#include "kit/Defaults.h"
#include "kit/ui/Application.h"

YLTitlebarView::YLTitlebarView(const kit::Rect& frame) : kit::View(frame) {}

kit::BezierPath YLTitlebarView::clippingPath() const {
    const kit::Rect f = frame();
    const double r = YLCornerClipRadius;
    kit::BezierPath p;
    p.moveTo({f.minX(), f.minY()});
    p.lineTo({f.minX(), f.maxY() - r});
    p.appendArcFromPoint({f.minX(), f.maxY()}, {f.minX() + r, f.maxY()}, r);
    p.lineTo({f.maxX() - r, f.maxY()});
    p.appendArcFromPoint({f.maxX(), f.maxY()}, {f.maxX(), f.maxY() - r}, r);
    p.lineTo({f.maxX(), f.minY()});
    p.closePath();
    return p;
}

kit::Rect YLTitlebarView::getTitleFrame(kit::TextAttributes& attrs, kit::Window& window) const {
    auto* tc = dynamic_cast<TCImageWindow*>(&window);
    const bool drawsAsMain = window.isMainWindow() && kit::Application::shared().isActive();
    attrs.font = kit::Font::systemFont(kit::Font::systemFontSize());
    std::optional<kit::Color> color = tc ? (drawsAsMain ? tc->titleTextColor : tc->inactiveTitleTextColor) : std::nullopt;
    attrs.color = color ? *color : kit::Color::white(56.0 / 255.0, drawsAsMain ? 1.0 : 0.5);
    std::optional<kit::Shadow> shadow = tc ? (drawsAsMain ? tc->titleTextShadow : tc->inactiveTitleTextShadow) : std::nullopt;
    if (!shadow) {
        kit::Shadow s;
        s.blurRadius = 10;
        s.offset = kit::Size{0, -1};
        s.color = kit::Color::white(1.0, 0.5);
        shadow = s;
    }
    attrs.shadow = shadow;
    const kit::Size size = attrs.font.sizeOfString(window.title());
    const kit::Rect b = bounds();
    // The kit's windows carry no document icon or versions button, so the
    // title is centred.
    const double x = b.midX() - size.width / 2;
    const double y = b.y() + b.height() - size.height - 2;
    return kit::Rect(x, y, size.width, size.height);
}

void YLTitlebarView::drawRect(const kit::Rect&) {
    kit::Window* w = window();
    if (!w) return;
    auto* tc = dynamic_cast<TCImageWindow*>(w);
    const bool drawsAsMain = w->isMainWindow() && kit::Application::shared().isActive();
    kit::BezierPath clip = clippingPath();
    if (tc && tc->titleBarDrawingBlock) {
        tc->titleBarDrawingBlock(drawsAsMain, frame(), clip);
    } else {
        kit::GraphicsContext::saveGraphicsState();
        clip.addClip();
        const kit::Rect f = frame();
        kit::Gradient g(YL_CGColorCreate(kit::Color::clear()), YL_CGColorCreate(kit::Color::clear()));
        g.drawFromPoint({f.midX(), f.minY()}, {f.midX(), f.maxY()});
        kit::GraphicsContext::restoreGraphicsState();
    }
    if (tc && tc->showsTitle() && (!w->isFullScreen() || tc->showsTitleInFullscreen())) {
        kit::TextAttributes attrs;
        kit::Rect r = getTitleFrame(attrs, *w);
        kit::GraphicsContext::current()->drawString(w->title(), r, attrs);
    }
}

void YLTitlebarView::mouseUp(kit::Event& e) {
    if (e.clickCount != 2) return;
    auto& d = kit::UserDefaults::standard();
    if (!d.objectForKey("AppleMiniaturizeOnDoubleClick").isNull() && d.boolForKey("AppleMiniaturizeOnDoubleClick"))
        if (kit::Window* w = window()) w->miniaturize();
}
