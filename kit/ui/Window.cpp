#include "kit/ui/Window.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <vector>

#include "kit/Dispatch.h"
#include "kit/Notification.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Image.h"
#include "kit/ui/MainThreadCheck.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewWidget.h"

namespace kit {

QWidget* widgetOf(const Window& w) { return w.topWidget(); }

// ---- screens ----

Screen Screen::main() {
    ensureUiApp();
    Screen s;
    QScreen* q = QGuiApplication::primaryScreen();
    if (!q) return s;
    QRect g = q->geometry(), a = q->availableGeometry();
    s.frame = Rect(0, 0, g.width(), g.height());
    s.visibleFrame = Rect(a.x() - g.x(), g.height() - (a.y() - g.y()) - a.height(), a.width(), a.height());
    s.backingScaleFactor = q->devicePixelRatio();
    return s;
}

// The frame view: the window's top view. It draws the window's background and
// chrome through the window.
class FrameView : public View {
public:
    FrameView(const Rect& r, Window* w) : View(r), window_(w) {}
    void drawRect(const Rect& dirty) override {
        if (auto* w = window_.get()) w->drawFrame(dirty);
    }
private:
    Weak<Window> window_;
};

namespace {

// The offscreen platform keeps no stacking order and says so on every call.
bool platformStacksWindows() { return QGuiApplication::platformName() != QLatin1String("offscreen"); }

// The standard close, minimise and zoom buttons, drawn by the kit: coloured
// circles in the key window, grey ones elsewhere, each with its glyph while
// the pointer is over any of the three.
// The three buttons of a window share one hover state: the pointer over any
// of them shows the glyphs on all three.
struct WindowButtonGroup {
    int captures = 0;
    std::vector<Weak<View>> buttons;
    void changed() {
        for (auto& b : buttons)
            if (View* v = b.get()) v->setNeedsDisplay(true);
    }
};

class StandardWindowButton : public Button {
public:
    StandardWindowButton(const Rect& r, WindowButtonKind kind, std::shared_ptr<WindowButtonGroup> group)
        : Button(r), kind_(kind), group_(std::move(group)) {
        setBordered(false);
        setAutoresizingMask(ViewMinYMargin | ViewMaxXMargin);
        area_ = std::make_shared<TrackingArea>(Rect(), TrackingMouseEnteredAndExited | TrackingActiveAlways | TrackingInVisibleRect, this);
        addTrackingArea(area_);
        group_->buttons.emplace_back(this);
    }
    ~StandardWindowButton() override {
        if (hover_) --group_->captures;
    }
    void mouseEntered(Event&) override {
        if (hover_) return;
        hover_ = true;
        ++group_->captures;
        group_->changed();
    }
    void mouseExited(Event&) override {
        if (!hover_) return;
        hover_ = false;
        --group_->captures;
        group_->changed();
    }
    bool showsGlyph() { return group_->captures > 0 && isEnabled(); }
    void drawRect(const Rect&) override {
        Rect b = bounds();
        double d = std::min(12.0, std::min(b.width(), b.height()));
        Rect c(b.midX() - d / 2, b.midY() - d / 2, d, d);
        Window* w = window();
        bool active = w && w->isKeyWindow() && isEnabled();
        Color fill = !active ? Color::rgb255(205, 205, 205)
                     : kind_ == WindowButtonKind::Close ? Color::rgb255(255, 95, 87)
                     : kind_ == WindowButtonKind::Miniaturize ? Color::rgb255(254, 188, 46) : Color::rgb255(40, 200, 64);
        if (isHighlighted()) fill = Color(fill.red * 0.8, fill.green * 0.8, fill.blue * 0.8, 1);
        fill.setFill();
        BezierPath::oval(c).fill();
        Color(0, 0, 0, 0.12).setStroke();
        BezierPath::oval(insetRect(c, 0.25, 0.25)).stroke();
        if (showsGlyph()) {
            Color(0, 0, 0, 0.55).setStroke();
            BezierPath g;
            g.setLineWidth(1.2);
            double k = d * 0.22;
            if (kind_ == WindowButtonKind::Close) {
                g.moveTo({c.midX() - k, c.midY() - k}); g.lineTo({c.midX() + k, c.midY() + k});
                g.moveTo({c.midX() - k, c.midY() + k}); g.lineTo({c.midX() + k, c.midY() - k});
            } else if (kind_ == WindowButtonKind::Miniaturize) {
                g.moveTo({c.midX() - k - 1, c.midY()}); g.lineTo({c.midX() + k + 1, c.midY()});
            } else {
                g.moveTo({c.midX() - k - 1, c.midY()}); g.lineTo({c.midX() + k + 1, c.midY()});
                g.moveTo({c.midX(), c.midY() - k - 1}); g.lineTo({c.midX(), c.midY() + k + 1});
            }
            g.stroke();
        }
    }
private:
    WindowButtonKind kind_;
    std::shared_ptr<WindowButtonGroup> group_;
    bool hover_ = false;
    std::shared_ptr<TrackingArea> area_;
};

}  // namespace


// ---- construction ----

Rect Window::frameRectForContentRect(const Rect& c, unsigned mask) {
    if (mask & TitledWindowMask) return Rect(c.x(), c.y(), c.width(), c.height() + kStandardTitleBarHeight);
    return c;
}
Rect Window::contentRectForFrameRect(const Rect& f, unsigned mask) {
    if ((mask & TitledWindowMask) && !(mask & FullScreenWindowMask))
        return Rect(f.x(), f.y(), f.width(), std::max(0.0, f.height() - kStandardTitleBarHeight));
    return f;
}

Window::Window(const Rect& contentRect, unsigned styleMask) : styleMask_(styleMask) {
    KIT_ASSERT_MAIN_THREAD();
    ensureUiApp();
    detail::installPointerFilter();
    frame_ = frameRectForContentRect(contentRect, styleMask);
    unzoomedFrame_ = frame_;
    frameView_ = std::make_shared<FrameView>(Rect(0, 0, frame_.width(), frame_.height()), this);
    topWidget_ = frameView_->widget();
    topWidget_->kitWindow = this;
    topWidget_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    topWidget_->setFocusPolicy(Qt::StrongFocus);
    frameView_->attachAsFrameView(this, topWidget_);
    frameView_->setNextResponder(this);

    Rect content = contentRectForFrameRect(Rect(0, 0, frame_.width(), frame_.height()));
    auto cv = std::make_shared<View>(content);
    cv->setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
    contentView_ = cv;
    frameView_->addSubview(cv);

    if (styleMask & TitledWindowMask) {
        const double h = frame_.height();
        auto group = std::make_shared<WindowButtonGroup>();
        auto make = [&](WindowButtonKind kind, double x, bool enabled, const char* action) {
            auto b = std::make_shared<StandardWindowButton>(Rect(x, h - 3 - 16, 14, 16), kind, group);
            b->setTarget(this);
            b->setAction(action);
            b->setEnabled(enabled);
            frameView_->addSubview(b);
            return b;
        };
        closeButton_ = make(WindowButtonKind::Close, 7, styleMask & ClosableWindowMask, "performClose:");
        miniButton_ = make(WindowButtonKind::Miniaturize, 27, styleMask & MiniaturizableWindowMask, "performMiniaturize:");
        zoomButton_ = make(WindowButtonKind::Zoom, 47, styleMask & ResizableWindowMask, "performZoom:");
    }
    registerAction("performClose:", [this](Object* s) { performClose(s); });
    registerAction("performMiniaturize:", [this](Object* s) { performMiniaturize(s); });
    registerAction("performZoom:", [this](Object* s) { performZoom(s); });
    registerAction("toggleFullScreen:", [this](Object* s) { toggleFullScreen(s); });
    applyQtFrame();
    Application::shared().windowCreated(this);
}

Window::~Window() {
    // A modal run of a window that no longer exists would never end.
    Application::shared().stopModalForWindow(this, ModalResponseAbort);
    Application::shared().windowDestroyed(this);
    for (auto& c : children_) c->parent_ = Weak<Window>();
    if (sheet_) sheet_->sheetParent_ = Weak<Window>();
    if (auto* p = parent_.get()) {
        auto& v = p->children_;
        // The parent holds us with a shared_ptr, so we can only get here once
        // it let go; nothing to remove.
        (void)v;
    }
    if (topWidget_) {
        topWidget_->kitWindow = nullptr;
        topWidget_->hide();
    }
    contentView_.reset();
    closeButton_.reset();
    miniButton_.reset();
    zoomButton_.reset();
    frameView_.reset();   // deletes the top widget (later, when inside its events)
}

Button* Window::standardWindowButton(WindowButtonKind kind) const {
    switch (kind) {
    case WindowButtonKind::Close: return closeButton_.get();
    case WindowButtonKind::Miniaturize: return miniButton_.get();
    case WindowButtonKind::Zoom: return zoomButton_.get();
    default: return nullptr;
    }
}

void Window::postNotification(const char* name) { NotificationCenter::defaultCenter().post(name, this); }

void Window::setTitle(const std::string& t) {
    KIT_ASSERT_MAIN_THREAD();
    title_ = t;
    if (topWidget_) topWidget_->setWindowTitle(QString::fromStdString(t));
    frameView_->setNeedsDisplay(true);
}

// ---- geometry ----

Screen Window::screen() const { return Screen::main(); }

void Window::applyQtFrame() {
    if (!topWidget_) return;
    const double sh = Screen::main().frame.height();
    settingFrame_ = true;
    int x = int(std::lround(frame_.x())), w = int(std::lround(frame_.width())), h = int(std::lround(frame_.height()));
    int y = int(std::lround(sh - frame_.y() - frame_.height()));
    topWidget_->setGeometry(x, y, std::max(1, w), std::max(1, h));
    settingFrame_ = false;
}

void Window::setFrame(const Rect& frame, bool display, bool animate) {
    KIT_ASSERT_MAIN_THREAD();
    if (animate) {
        animator().setFrame(frame);
        return;
    }
    if (frame == frame_) return;
    Rect old = frame_;
    frame_ = frame;
    const double dx = frame.x() - old.x(), dy = frame.y() - old.y();
    applyQtFrame();
    if (frame.size != old.size) {
        frameView_->setFrame(Rect(0, 0, frame.width(), frame.height()));
        scheduleShapeUpdate();
    }
    if (dx != 0 || dy != 0)
        for (auto& c : std::vector<std::shared_ptr<Window>>(children_))
            c->setFrameOrigin(Point{c->frame_.x() + dx, c->frame_.y() + dy});
    Weak<Window> self(this);
    if (frame.size != old.size) {
        if (delegate_) delegate_->windowDidResize(*this);
        if (!self) return;
        postNotification(WindowDidResizeNotification);
        if (!self) return;
    }
    if (frame.origin != old.origin) {
        if (delegate_) delegate_->windowDidMove(*this);
        if (!self) return;
        postNotification(WindowDidMoveNotification);
    }
    if (display && self) frameView_->setNeedsDisplay(true);
}

void Window::qtGeometryChanged(const Rect& f) {
    if (settingFrame_) return;
    if (std::abs(f.x() - frame_.x()) < 0.5 && std::abs(f.y() - frame_.y()) < 0.5 &&
        std::abs(f.width() - frame_.width()) < 0.5 && std::abs(f.height() - frame_.height()) < 0.5)
        return;
    setFrame(f);
}

void Window::setFrameOrigin(Point p) { setFrame(Rect(p, frame_.size)); }
void Window::setFrameTopLeftPoint(Point p) { setFrame(Rect(p.x, p.y - frame_.height(), frame_.width(), frame_.height())); }

void Window::setContentSize(Size s) {
    Rect f = frameRectForContentRect(Rect(frame_.origin, s), styleMask_);
    // Keep the top edge where it is.
    setFrame(Rect(frame_.x(), frame_.maxY() - f.height(), f.width(), f.height()));
}

void Window::center() {
    Rect v = screen().visibleFrame;
    double x = v.x() + std::floor((v.width() - frame_.width()) / 2);
    // A little above the middle, as the platform places centred windows.
    double y = v.y() + std::floor((v.height() - frame_.height()) * 2 / 3);
    setFrameOrigin(Point{x, std::max(v.y(), y)});
}

Point Window::convertPointToScreen(Point p) const { return Point{p.x + frame_.x(), p.y + frame_.y()}; }
Point Window::convertPointFromScreen(Point p) const { return Point{p.x - frame_.x(), p.y - frame_.y()}; }
Rect Window::convertRectToScreen(const Rect& r) const { return Rect(convertPointToScreen(r.origin), r.size); }
Rect Window::convertRectFromScreen(const Rect& r) const { return Rect(convertPointFromScreen(r.origin), r.size); }

// ---- views ----

void Window::setContentView(std::shared_ptr<View> v) {
    KIT_ASSERT_MAIN_THREAD();
    if (!v || v == contentView_) return;
    std::shared_ptr<View> old = contentView_;
    contentView_ = v;
    v->setFrame(contentRectForFrameRect(Rect(0, 0, frame_.width(), frame_.height())));
    v->setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
    // The new content takes the old one's place among the frame view's subviews.
    if (old && old->superview() == frameView_.get()) {
        frameView_->addSubview(v, WindowOrderingMode::Above, old.get());
        old->removeFromSuperview();
    } else {
        frameView_->addSubview(v, WindowOrderingMode::Below, nullptr);
    }
}

// ---- look ----

void Window::setOpaque(bool o) {
    KIT_ASSERT_MAIN_THREAD();
    opaque_ = o;
    if (topWidget_) {
        topWidget_->setAttribute(Qt::WA_TranslucentBackground, !o);
        topWidget_->setShowsEdgesOpaque(!o);
    }
    frameView_->setNeedsDisplay(true);
    if (o && topWidget_) topWidget_->clearMask();
    else scheduleShapeUpdate();
}

void Window::invalidateShadow() {
    shapeUpdatePending_ = false;
    if (!topWidget_) return;
    if (opaque_) {
        topWidget_->clearMask();
        return;
    }
    QImage img(topWidget_->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    topWidget_->render(&img, QPoint(), QRegion(topWidget_->rect()), QWidget::DrawChildren | QWidget::IgnoreMask);
    // The covered runs of each row, top to bottom and left to right, are
    // already the bands a region is made of: they are handed over at once,
    // not joined one by one (which redoes the region for every run).
    std::vector<QRect> runs;
    const int width = img.width();
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int x = 0;
        while (x < width) {
            while (x < width && qAlpha(line[x]) < ViewWidget::kShapeAlpha) ++x;
            int start = x;
            while (x < width && qAlpha(line[x]) >= ViewWidget::kShapeAlpha) ++x;
            if (x > start) runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion shape;
    shape.setRects(runs.data(), int(runs.size()));
    // A window that draws nothing yet keeps no shape rather than vanish.
    if (shape.isEmpty()) topWidget_->clearMask();
    else topWidget_->setMask(shape);
}

void Window::drawBackdrop(double radius) {
    Window* parent = parent_.get();
    QWidget* under = parent ? widgetOf(*parent) : nullptr;
    if (!under || radius <= 0 || frame_.isEmpty()) return;
    const Rect pf = parent->frame();
    Backdrop& b = backdrop_;
    if (!b.image || b.frame != frame_ || b.parentFrame != pf || b.radius != radius) {
        const int w = std::max(1, int(std::lround(frame_.width()))), h = std::max(1, int(std::lround(frame_.height())));
        QImage beneath(w, h, QImage::Format_ARGB32_Premultiplied);
        // Past the parent's edges the blur would spread its background.
        const Color& bg = parent->backgroundColor();
        beneath.fill(QColor::fromRgbF(float(bg.red), float(bg.green), float(bg.blue), 1.0f));
        // Screen y grows upwards; the image's rows downwards.
        const QPoint at(int(std::lround(pf.x() - frame_.x())), int(std::lround(frame_.maxY() - pf.maxY())));
        // Only the part of the parent this window covers is drawn: the rest
        // would fall outside the picture anyway.
        const QRect covered = under->rect() & QRect(-at, beneath.size());
        if (!covered.isEmpty())
            under->render(&beneath, at + covered.topLeft(), QRegion(covered), QWidget::DrawChildren);
        // A blur this wide is a wash of the colours beneath: halving the
        // picture again and again (each step averages four pixels) down to a
        // fraction of the radius and smoothing it back up gives that for a
        // fraction of a true blur's cost.
        const double shrink = std::clamp(radius / 6.0, 1.0, 64.0);
        QImage small = beneath;
        for (double s = 1; s * 2 <= shrink && small.width() > 1 && small.height() > 1; s *= 2)
            small = small.scaled(std::max(1, small.width() / 2), std::max(1, small.height() / 2), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
        b.image = Image::fromRaster(small.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        b.frame = frame_;
        b.parentFrame = pf;
        b.radius = radius;
    }
    b.image->drawInRect(frameView_->bounds());
}

void Window::scheduleShapeUpdate() {
    if (opaque_ || shapeUpdatePending_ || !visible_) return;
    shapeUpdatePending_ = true;
    // Once the turn that showed or resized the window has ended: its
    // controller may still be adding the views that draw its outline.
    Weak<Window> self(this);
    dispatch::async(dispatch::mainQueue(), [self] {
        if (Window* w = self.get(); w && w->shapeUpdatePending_) w->invalidateShadow();
    });
}

void Window::setBackgroundColor(const Color& c) {
    KIT_ASSERT_MAIN_THREAD();
    backgroundColor_ = c;
    frameView_->setNeedsDisplay(true);
}

void Window::setAlphaValue(double a) {
    KIT_ASSERT_MAIN_THREAD();
    alpha_ = std::clamp(a, 0.0, 1.0);
    if (topWidget_) topWidget_->setWindowOpacity(alpha_);
}

void Window::setLevel(int level) {
    KIT_ASSERT_MAIN_THREAD();
    if (level == level_) return;
    level_ = level;
    if (!topWidget_) return;
    const bool wasVisible = topWidget_->isVisible();
    topWidget_->setWindowFlag(Qt::WindowStaysOnTopHint, level > NormalWindowLevel);
    if (wasVisible) topWidget_->show();
}

void Window::display() {
    std::function<void(View*)> all = [&](View* v) {
        v->setNeedsDisplay(true);
        for (auto& s : v->subviews()) all(s.get());
    };
    all(frameView_.get());
    displayIfNeeded();
}

void Window::displayIfNeeded() { frameView_->displayIfNeeded(); }

void Window::drawFrame(const Rect& dirty) {
    Rect b = frameView_->bounds();
    if (backgroundColor_.alpha > 0) {
        backgroundColor_.setFill();
        BezierPath::fillRect(b);
    }
    if ((styleMask_ & TitledWindowMask) && !isFullScreen() && opaque_) {
        Rect band(0, b.height() - kStandardTitleBarHeight, b.width(), kStandardTitleBarHeight);
        Gradient(Color::white(0.84), Color::white(0.93)).drawInRect(band, 90);
        Color::white(0.70).setFill();
        BezierPath::fillRect(Rect(0, band.y(), b.width(), 1));
        if (!title_.empty()) {
            TextAttributes a;
            a.font = Font::boldSystemFont(13);
            a.color = isKeyWindow() ? Color::white(0.2) : Color::white(0.55);
            a.alignment = TextAlignment::Center;
            a.lineBreak = LineBreakMode::TruncatingTail;
            GraphicsContext::current()->drawString(title_, Rect(70, band.y() + 3, std::max(0.0, b.width() - 140), 16), a);
        }
    }
}

// ---- ordering ----

void Window::orderFront() {
    KIT_ASSERT_MAIN_THREAD();
    if (!topWidget_) return;
    if (miniaturized_) deminiaturize();
    applyTransientParent();
    visible_ = true;
    scheduleShapeUpdate();
    topWidget_->show();
    if (platformStacksWindows()) topWidget_->raise();
    for (auto& c : std::vector<std::shared_ptr<Window>>(children_))
        if (c->visible_ || c->isSheet()) c->orderFront();
}

void Window::orderBack() {
    KIT_ASSERT_MAIN_THREAD();
    if (!topWidget_) return;
    applyTransientParent();
    visible_ = true;
    scheduleShapeUpdate();
    topWidget_->show();
    if (platformStacksWindows()) topWidget_->lower();
}

void Window::orderOut() {
    KIT_ASSERT_MAIN_THREAD();
    if (!topWidget_) return;
    const bool wasKey = isKeyWindow();
    Weak<Window> self(this);
    // The pointer cannot be over a window that is gone from the screen.
    if (visible_) endHover(frameView_.get());
    if (!self) return;
    visible_ = false;
    topWidget_->hide();
    for (auto& c : std::vector<std::shared_ptr<Window>>(children_))
        if (c->topWidget_) c->topWidget_->hide();
    Application& app = Application::shared();
    const bool wasMain = isMainWindow();
    if (wasKey) app.setKeyWindow(nullptr);
    if (wasMain) app.setMainWindow(nullptr);
    if (!self) return;
    // Key and main status go back to the window used before, as the
    // platform does: the main window when a panel closes, the main window
    // again when the About window over it closes.
    if (wasMain && !app.mainWindow())
        if (Window* next = app.recentWindow(this, [](Window& w) { return w.canBecomeMainWindow(); }))
            next->makeMainWindow();
    if (wasKey && !app.keyWindow()) {
        Window* m = app.mainWindow();
        Window* next = m && m != this && m->isVisible() && m->canBecomeKeyWindow()
                           ? m
                           : app.recentWindow(this, [](Window& w) { return w.canBecomeKeyWindow(); });
        if (next) next->makeKeyWindow();
    }
}

void Window::orderWindow(WindowOrderingMode place, Window* relativeTo) {
    if (place == WindowOrderingMode::Out) { orderOut(); return; }
    if (place == WindowOrderingMode::Above) orderFront();
    else {
        orderBack();
        if (relativeTo && relativeTo->topWidget_ && topWidget_ && platformStacksWindows())
            topWidget_->stackUnder(relativeTo->topWidget_);
    }
}

bool Window::canBecomeKeyWindow() const { return (styleMask_ & TitledWindowMask) != 0; }
bool Window::canBecomeMainWindow() const {
    return (styleMask_ & TitledWindowMask) && !(styleMask_ & UtilityWindowMask) && !isSheet();
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow() == this; }
bool Window::isMainWindow() const { return Application::shared().mainWindow() == this; }

void Window::makeKeyWindow() {
    KIT_ASSERT_MAIN_THREAD();
    if (!canBecomeKeyWindow()) return;
    Application::shared().setKeyWindow(this);
    if (topWidget_ && topWidget_->isVisible()) topWidget_->activateWindow();
}

void Window::makeMainWindow() {
    KIT_ASSERT_MAIN_THREAD();
    if (!canBecomeMainWindow()) return;
    Application::shared().setMainWindow(this);
}

void Window::makeKeyAndOrderFront() {
    orderFront();
    makeKeyWindow();
    makeMainWindow();
}

void Window::becomeKeyWindow() {
    frameView_->setNeedsDisplay(true);
    for (Button* b : {closeButton_.get(), miniButton_.get(), zoomButton_.get()})
        if (b) b->setNeedsDisplay(true);
    Weak<Window> self(this);
    if (delegate_) delegate_->windowDidBecomeKey(*this);
    if (self) postNotification(WindowDidBecomeKeyNotification);
}

void Window::resignKeyWindow() {
    frameView_->setNeedsDisplay(true);
    for (Button* b : {closeButton_.get(), miniButton_.get(), zoomButton_.get()})
        if (b) b->setNeedsDisplay(true);
    Weak<Window> self(this);
    if (delegate_) delegate_->windowDidResignKey(*this);
    if (self) postNotification(WindowDidResignKeyNotification);
}

void Window::becomeMainWindow() {
    Weak<Window> self(this);
    if (delegate_) delegate_->windowDidBecomeMain(*this);
    if (self) postNotification(WindowDidBecomeMainNotification);
}

void Window::resignMainWindow() {
    Weak<Window> self(this);
    if (delegate_) delegate_->windowDidResignMain(*this);
    if (self) postNotification(WindowDidResignMainNotification);
}

// ---- events ----

bool Window::makeFirstResponder(Responder* r) {
    Responder* old = firstResponder_.get();
    if (old == r) return true;
    if (old && !old->resignFirstResponder()) return false;
    firstResponder_ = Weak<Responder>(nullptr);
    if (r && (!r->acceptsFirstResponder() || !r->becomeFirstResponder())) return false;
    firstResponder_ = Weak<Responder>(r);
    return true;
}

View* Window::hitTest(Point p) const {
    if (!frameView_) return nullptr;
    return frameView_->hitTest(p);
}

void Window::sendEvent(Event& e) {
    Weak<Window> self(this);
    e.window = this;
    if (!Application::shared().windowTakesInput(this) && e.type != EventType::MouseMoved &&
        e.type != EventType::MouseExited)
        return;
    switch (e.type) {
    case EventType::LeftMouseDown:
    case EventType::RightMouseDown: {
        if (!isKeyWindow() && canBecomeKeyWindow()) {
            makeKeyWindow();
            if (!self) return;
            makeMainWindow();
            if (!self) return;
        }
        View* hit = hitTest(e.locationInWindow);
        mouseDownView_ = Weak<View>(hit);
        draggingWindow_ = false;
        if (e.type == EventType::LeftMouseDown && hit && movableByBackground_ && hit->mouseDownCanMoveWindow()) {
            performWindowDragWithEvent(e);
            return;
        }
        if (hit && hit->acceptsFirstResponder()) makeFirstResponder(hit);
        Responder* target = hit ? static_cast<Responder*>(hit) : this;
        if (e.type == EventType::LeftMouseDown) target->mouseDown(e);
        else target->rightMouseDown(e);
        break;
    }
    case EventType::LeftMouseDragged: {
        Responder* target = mouseDownView_.get();
        (target ? target : this)->mouseDragged(e);
        break;
    }
    case EventType::LeftMouseUp:
    case EventType::RightMouseUp: {
        Responder* target = mouseDownView_.get();
        if (e.type == EventType::LeftMouseUp) (target ? target : this)->mouseUp(e);
        else (target ? target : this)->rightMouseUp(e);
        if (!self) return;
        mouseDownView_ = Weak<View>();
        draggingWindow_ = false;
        break;
    }
    case EventType::MouseMoved:
        updateTrackingAreas(e.locationInWindow, true);
        break;
    case EventType::MouseExited:
        pointerLeftWindow();
        break;
    case EventType::KeyDown:
    case EventType::KeyUp: {
        Responder* r = firstResponder_.get();
        if (!r) r = this;
        if (e.type == EventType::KeyDown) r->keyDown(e);
        else r->keyUp(e);
        break;
    }
    case EventType::ScrollWheel: {
        View* hit = hitTest(e.locationInWindow);
        if (hit) hit->scrollWheel(e);
        break;
    }
    default: break;
    }
}

void Window::mouseDown(Event& e) {
    // A press that no view took: the background, which may drag the window.
    if (movableByBackground_) performWindowDragWithEvent(e);
}

void Window::performWindowDragWithEvent(const Event& e) {
    draggingWindow_ = movable_ && !isFullScreen();
    windowMoveBegun_ = false;
    dragStartScreen_ = e.screenLocation;
    dragStartOrigin_ = frame_.origin;
}

void Window::mouseDragged(Event& e) {
    if (!draggingWindow_) return;
    const double dx = e.screenLocation.x - dragStartScreen_.x, dy = e.screenLocation.y - dragStartScreen_.y;
    if (!windowMoveBegun_) {
        // A click alone never moves the window: the move begins once the
        // pointer has gone a few points with the button still down.
        if (std::hypot(dx, dy) < kWindowDragThreshold) return;
        windowMoveBegun_ = true;
        // A real drag under a window manager: the manager's own move takes
        // over from here, without a round trip per step, and knows the
        // screen's edges. It starts only while the button is known to be
        // down: started after the release (as a move begun at the press is,
        // when press and release come back to back) it would wait for a
        // release that never comes and carry the window off with the
        // pointer. Elsewhere the kit follows the drags from the press.
        QWindow* handle = ViewWidget::spontaneousMouseInDispatch && topWidget_ ? topWidget_->windowHandle() : nullptr;
        if (handle && handle->startSystemMove()) {
            draggingWindow_ = false;
            return;
        }
    }
    setFrameOrigin(Point{dragStartOrigin_.x + dx, dragStartOrigin_.y + dy});
}

void Window::mouseUp(Event&) { draggingWindow_ = false; }

void Window::keyDown(Event& e) {
    if (e.keyCode == KeyCodeEscape) tryToPerform("cancelOperation:", this);
}

const std::vector<Window::TrackedArea>& Window::trackedAreas() {
    if (trackingCacheValid_) return trackingCache_;
    trackingCache_.clear();
    std::function<void(View*)> collect = [&](View* v) {
        if (!v || v->isHidden()) return;
        for (auto& a : v->trackingAreas()) {
            Rect r = (a->options() & TrackingInVisibleRect) ? v->bounds() : a->rect();
            trackingCache_.push_back(TrackedArea{Weak<View>(v), a, v->convertRectToView(r, nullptr)});
        }
        for (auto& s : v->subviews()) collect(s.get());
    };
    collect(frameView_.get());
    trackingCacheValid_ = true;
    return trackingCache_;
}

void Window::updateTrackingAreas(Point p, bool windowInside) {
    Weak<Window> self(this);
    const bool key = isKeyWindow();
    const bool appActive = Application::shared().isActive();

    // First decide every area's state, then deliver: all exits before any
    // enter, so that an owner moving from one area to another always sees
    // the old one end before the new one begins, whatever the tree order.
    struct Change {
        Weak<View> view;
        std::shared_ptr<TrackingArea> area;
        EventType type;
    };
    std::vector<Change> exits, enters, moves;
    for (const TrackedArea& t : trackedAreas()) {
        const auto& area = t.area;
        unsigned o = area->options();
        bool active = (o & TrackingActiveAlways) || ((o & TrackingActiveInKeyWindow) && key) ||
                      ((o & TrackingActiveInActiveApp) && appActive);
        if (!active) continue;
        // Far from the rectangle nothing changes for an area that is out;
        // near it, the view's own coordinates decide (edges included as
        // the view sees them).
        const Rect& w = t.inWindow;
        const bool near = windowInside && p.x >= w.minX() - 1 && p.x <= w.maxX() + 1 && p.y >= w.minY() - 1 &&
                          p.y <= w.maxY() + 1;
        if (!near && !area->inside_) continue;
        View* v = t.view.get();
        if (!v || !area->owner()) continue;
        bool inside = false;
        if (near) {
            Rect r = (o & TrackingInVisibleRect) ? v->bounds() : area->rect();
            inside = pointInRect(v->convertPointFromView(p, nullptr), r);
        }
        const Weak<View>& wv = t.view;
        if (inside != area->inside_) {
            area->inside_ = inside;
            if (o & TrackingMouseEnteredAndExited)
                (inside ? enters : exits).push_back({wv, area, inside ? EventType::MouseEntered : EventType::MouseExited});
        } else if (inside && (o & TrackingMouseMoved)) {
            moves.push_back({wv, area, EventType::MouseMoved});
        }
    }
    for (auto* list : {&exits, &enters, &moves}) {
        for (Change& c : *list) {
            if (!self) return;
            View* v = c.view.get();
            if (!v) continue;
            // Skip areas removed by an earlier callback of this pass.
            auto& live = v->trackingAreas();
            if (std::find(live.begin(), live.end(), c.area) == live.end()) continue;
            Responder* owner = c.area->owner();
            if (!owner) continue;
            Event ev;
            ev.type = c.type;
            ev.locationInWindow = p;
            ev.screenLocation = convertPointToScreen(p);
            ev.window = this;
            ev.trackingArea = c.area.get();
            ev.userData = c.area->userData();
            if (c.type == EventType::MouseEntered) owner->mouseEntered(ev);
            else if (c.type == EventType::MouseExited) owner->mouseExited(ev);
            else owner->mouseMoved(ev);
        }
    }
}

void Window::endHover(View* root) {
    std::vector<std::pair<Weak<View>, std::shared_ptr<TrackingArea>>> ended;
    std::function<void(View*)> walk = [&](View* v) {
        for (auto& a : v->trackingAreas())
            if (a->inside_) {
                a->inside_ = false;
                if (a->options() & TrackingMouseEnteredAndExited) ended.emplace_back(Weak<View>(v), a);
            }
        for (auto& s : v->subviews()) walk(s.get());
    };
    if (root) walk(root);
    Weak<Window> self(this);
    for (auto& [wv, area] : ended) {
        if (!self) return;
        if (!wv) continue;
        Responder* owner = area->owner();
        if (!owner) continue;
        Event ev;
        ev.type = EventType::MouseExited;
        ev.locationInWindow = Point{-1e9, -1e9};
        ev.window = this;
        ev.trackingArea = area.get();
        ev.userData = area->userData();
        owner->mouseExited(ev);
    }
}

void Window::pointerLeftWindow() { updateTrackingAreas(Point{-1e9, -1e9}, false); }

// ---- delegate, closing ----

void Window::performClose(Object*) {
    if (!(styleMask_ & ClosableWindowMask) && (styleMask_ & TitledWindowMask)) return;
    if (delegate_ && !delegate_->windowShouldClose(*this)) return;
    close();
}

void Window::windowManagerClose() {
    if (styleMask_ & TitledWindowMask) performClose(nullptr);
    else tryToPerform(WindowManagerCloseAction, this);
}

void Window::close() {
    KIT_ASSERT_MAIN_THREAD();
    Weak<Window> self(this);
    if (delegate_) delegate_->windowWillClose(*this);
    if (!self) return;
    postNotification(WindowWillCloseNotification);
    if (!self) return;
    if (auto* p = parent_.get()) p->removeChildWindow(this);
    if (!self) return;
    orderOut();
    if (!self) return;
    Application::shared().stopModalForWindow(this);
    if (retained_.empty()) return;
    auto retained = std::move(retained_);
    retained_.clear();
    for (auto& r : retained) {
        if (r.onClose) r.onClose();
        r.onClose = nullptr;
    }
    // Let go once the closing event has ended: the object may be the very
    // controller whose button is still on the stack.
    dispatch::async(dispatch::mainQueue(), [retained = std::move(retained)]() mutable { retained.clear(); });
}

void Window::retainUntilClosed(std::shared_ptr<void> object, std::function<void()> onClose) {
    KIT_ASSERT_MAIN_THREAD();
    if (!object && !onClose) return;
    retained_.push_back(Retained{std::move(object), std::move(onClose)});
}

void Window::miniaturize() {
    if (miniaturized_ || !topWidget_) return;
    miniaturized_ = true;
    if (isKeyWindow()) Application::shared().setKeyWindow(nullptr);
    topWidget_->showMinimized();
    Weak<Window> self(this);
    if (delegate_) delegate_->windowDidMiniaturize(*this);
    if (self) postNotification(WindowDidMiniaturizeNotification);
}

void Window::deminiaturize() {
    if (!miniaturized_ || !topWidget_) return;
    miniaturized_ = false;
    topWidget_->showNormal();
    applyQtFrame();
    postNotification(WindowDidDeminiaturizeNotification);
}

bool Window::isZoomed() const { return frame_ == screen().visibleFrame; }

void Window::zoom() {
    if (isZoomed()) setFrame(unzoomedFrame_);
    else {
        unzoomedFrame_ = frame_;
        setFrame(screen().visibleFrame);
    }
}

void Window::toggleFullScreen(Object*) {
    Weak<Window> self(this);
    if (!isFullScreen()) {
        if (delegate_) delegate_->windowWillEnterFullScreen(*this);
        if (!self) return;
        postNotification(WindowWillEnterFullScreenNotification);
        if (!self) return;
        preFullScreenFrame_ = frame_;
        styleMask_ |= FullScreenWindowMask;
        setFrame(screen().frame);
        if (self) postNotification(WindowDidEnterFullScreenNotification);
    } else {
        if (delegate_) delegate_->windowWillExitFullScreen(*this);
        if (!self) return;
        postNotification(WindowWillExitFullScreenNotification);
        if (!self) return;
        styleMask_ &= ~unsigned(FullScreenWindowMask);
        setFrame(preFullScreenFrame_);
        if (self) postNotification(WindowDidExitFullScreenNotification);
    }
}

// ---- children and sheets ----

void Window::addChildWindow(std::shared_ptr<Window> child, WindowOrderingMode place) {
    KIT_ASSERT_MAIN_THREAD();
    if (!child || child.get() == this) return;
    // A child added again is only ordered: leaving and rejoining its parent
    // would make a window on screen be mapped anew for the window manager.
    if (child->parent_.get() != this) {
        if (auto* old = child->parent_.get()) old->removeChildWindow(child.get());
        children_.push_back(child);
        child->parent_ = Weak<Window>(this);
        child->applyTransientParent();
    }
    if (visible_) {
        if (place == WindowOrderingMode::Below) child->orderWindow(WindowOrderingMode::Below, this);
        else child->orderFront();
    }
}

void Window::removeChildWindow(Window* child) {
    KIT_ASSERT_MAIN_THREAD();
    auto it = std::find_if(children_.begin(), children_.end(), [&](auto& c) { return c.get() == child; });
    if (it == children_.end()) return;
    std::shared_ptr<Window> keep = *it;
    children_.erase(it);
    keep->parent_ = Weak<Window>();
    keep->applyTransientParent();
}

void Window::applyTransientParent() {
    if (!topWidget_) return;
    Window* p = parent_.get();
    if (!p) p = sheetParent_.get();
    if (!p) p = modalFor_.get();
    const bool shown = topWidget_->isVisible();
    QWindow* mine = topWidget_->windowHandle();
    // A window on screen that leaves its parent is on its way out: it is not
    // mapped again for that, and its next showing sets its kind anew.
    if (!p && shown) {
        if (mine) mine->setTransientParent(nullptr);
        return;
    }
    // What the window is to the window manager. A child window must be
    // transient for its parent, so that the manager keeps it above the
    // parent whatever raises the parent, and never lists it on its own; Qt
    // says so only for its dialog, tool and popup kinds. Sheets and child
    // windows that may become main are dialogs. Those that never become main
    // (status panels, menus, popovers) are tool (utility) windows: helpers
    // of their parent, which the manager also leaves out of its window
    // cycling, and which still take the keyboard once clicked or activated.
    // Not popups: Qt's popups grab the pointer and the keyboard and close at
    // any click elsewhere, where the kit's menus and popovers close by rules
    // of their own (timed, on leaving, on losing key status). A utility
    // panel without a parent is still a helper of the application
    // (transient for all of its windows). A window running modally on
    // behalf of another is a dialog of that window.
    Qt::WindowType kind = Qt::Window;
    if (p) kind = !parent_.get() || isSheet() || canBecomeMainWindow() ? Qt::Dialog : Qt::Tool;
    else if (styleMask_ & UtilityWindowMask) kind = Qt::Tool;
    QWindow* want = nullptr;
    if (p && p->topWidget_) {
        p->topWidget_->winId();
        want = p->topWidget_->windowHandle();
    }
    const bool kindChanges = topWidget_->windowType() != kind;
    if (!kindChanges && mine && mine->transientParent() == want) return;
    // Qt hands both to the manager when it maps the window: one already on
    // screen (a popover that became a child at the end of its animation) is
    // mapped again, within this turn of the loop, so nothing is seen of it.
    const bool wasKey = shown && isKeyWindow();
    if (shown) topWidget_->hide();
    if (kindChanges) topWidget_->setWindowFlags((topWidget_->windowFlags() & ~Qt::WindowType_Mask) | kind);
    topWidget_->winId();
    if ((mine = topWidget_->windowHandle())) mine->setTransientParent(want);
    if (!shown) return;
    topWidget_->show();
    if (platformStacksWindows()) topWidget_->raise();
    if (wasKey) topWidget_->activateWindow();
}

void Window::setQtModal(bool modal) {
    if (!topWidget_) return;
    Window* owner = nullptr;
    if (modal) {
        Application& app = Application::shared();
        owner = app.mainWindow();
        if (!owner || owner == this) owner = app.recentWindow(this, [](Window& w) { return w.canBecomeMainWindow(); });
    }
    Qt::WindowModality want = modal ? Qt::ApplicationModal : Qt::NonModal;
    if (topWidget_->windowModality() == want && modalFor_.get() == owner) return;
    modalFor_ = Weak<Window>(owner);
    // Qt takes a new modality and a new kind of window only while it is hidden.
    const bool shown = topWidget_->isVisible();
    if (shown) topWidget_->hide();
    applyTransientParent();
    topWidget_->setWindowModality(want);
    if (shown) {
        topWidget_->show();
        if (platformStacksWindows()) topWidget_->raise();
    }
}

void Window::beginSheet(std::shared_ptr<Window> sheet, std::function<void(long)> completion) {
    KIT_ASSERT_MAIN_THREAD();
    if (!sheet || sheet_) return;
    sheet_ = sheet;
    sheetCompletion_ = std::move(completion);
    sheet->sheetParent_ = Weak<Window>(this);
    // The default: the sheet hangs from the top of the content area.
    Rect rect(0, contentView_ ? contentView_->frame().maxY() : frame_.height(), frame_.width(), 0);
    if (delegate_) rect = delegate_->willPositionSheet(*this, *sheet, rect);
    Size s = sheet->frame().size;
    sheet->setFrame(Rect(frame_.x() + std::floor((frame_.width() - s.width) / 2), frame_.y() + rect.y() - s.height,
                         s.width, s.height));
    addChildWindow(sheet, WindowOrderingMode::Above);
    sheet->orderFront();
    sheet->makeKeyWindow();
}

void Window::endSheet(Window* sheet, long code) {
    KIT_ASSERT_MAIN_THREAD();
    if (!sheet || sheet_.get() != sheet) return;
    std::shared_ptr<Window> keep = std::move(sheet_);
    auto completion = std::move(sheetCompletion_);
    sheetCompletion_ = nullptr;
    removeChildWindow(sheet);
    keep->orderOut();
    keep->sheetParent_ = Weak<Window>();
    keep->applyTransientParent();
    Weak<Window> self(this);
    if (completion) completion(code);
    if (!self) return;
    if (delegate_) delegate_->windowDidEndSheet(*this);
    if (!self) return;
    postNotification(WindowDidEndSheetNotification);
}

}  // namespace kit
