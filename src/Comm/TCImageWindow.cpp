#include "Comm/TCImageWindow.h"

#include <cmath>

#include "kit/ui/Application.h"
#include "kit/ui/Control.h"

TCImageWindow::TCImageWindow(const kit::Rect& contentRect, unsigned styleMask) : kit::Window(contentRect, styleMask) {
    setOpaque(false);
    setBackgroundColor(kit::Color::clear());
    setMovableByWindowBackground(true);
    _doInitialWindowSetup();
}

TCImageWindow::~TCImageWindow() {
    for (auto t : tokens_) kit::NotificationCenter::defaultCenter().removeObserver(t);
    kit::Window::setDelegate(nullptr);
}

// ---- measures ----

double TCImageWindow::_minimumTitlebarHeight() const {
    static double cached = 0;
    if (cached != 0) return cached;
    double h = frame().height() - contentRectForFrameRect(frame()).height();
    if (h != 0) cached = h;   // zero is measured again next time
    return h;
}

double TCImageWindow::_defaultTrafficLightLeftMargin() const {
    static double cached = 0;
    if (cached != 0) return cached;
    kit::Button* close = standardWindowButton(kit::WindowButtonKind::Close);
    double x = close ? close->frame().x() : 0;
    if (x != 0) cached = x;
    return x;
}

double TCImageWindow::_defaultTrafficLightSeparation() const {
    static double cached = 0;
    if (cached != 0) return cached;
    kit::Button* close = standardWindowButton(kit::WindowButtonKind::Close);
    kit::Button* mini = standardWindowButton(kit::WindowButtonKind::Miniaturize);
    kit::Rect c = close ? close->frame() : kit::Rect(), m = mini ? mini->frame() : kit::Rect();
    double s = m.x() - (c.x() + c.width());
    if (s != 0) cached = s;
    return s;
}

// ---- set-up ----

void TCImageWindow::_doInitialWindowSetup() {
    showsBaselineSeparator_ = true;
    centerTrafficLightButtons_ = true;
    titleBarHeight_ = cachedTitleBarHeight_ = _minimumTitlebarHeight();
    trafficLightButtonsLeftMargin_ = _defaultTrafficLightLeftMargin();
    delegateProxy_ = std::make_unique<TCImageWindowDelegateProxy>();
    trafficLightButtonsTopMargin_ = 3;
    fullScreenButtonTopMargin_ = 3;
    trafficLightSeparation_ = _defaultTrafficLightSeparation();
    kit::Window::setDelegate(delegateProxy_.get());

    auto& nc = kit::NotificationCenter::defaultCenter();
    auto layout = [this](const kit::Notification&) { _layoutTrafficLightsAndContent(); };
    tokens_.push_back(nc.addObserver(kit::WindowDidResizeNotification, this, layout));
    tokens_.push_back(nc.addObserver(kit::WindowDidMoveNotification, this, layout));
    tokens_.push_back(nc.addObserver(kit::WindowDidEndSheetNotification, this, layout));
    auto update = [this](const kit::Notification&) { _updateTitlebarView(); };
    tokens_.push_back(nc.addObserver(kit::ApplicationDidBecomeActiveNotification, nullptr, update));
    tokens_.push_back(nc.addObserver(kit::ApplicationDidResignActiveNotification, nullptr, update));
    if (std::floor(kit::AppKitVersionNumber) > 1038) {
        // Only this window's own full-screen changes concern its bar.
        tokens_.push_back(nc.addObserver(kit::WindowDidExitFullScreenNotification, this,
                                         [this](const kit::Notification&) { _setupTrafficLightsTrackingArea(); }));
        tokens_.push_back(nc.addObserver(kit::WindowWillEnterFullScreenNotification, this,
                                         [this](const kit::Notification& n) { windowWillEnterFullScreen(n); }));
        tokens_.push_back(nc.addObserver(kit::WindowWillExitFullScreenNotification, this,
                                         [this](const kit::Notification& n) { windowWillExitFullScreen(n); }));
    }
    _createTitlebarView();
    _layoutTrafficLightsAndContent();
    _setupTrafficLightsTrackingArea();
}

void TCImageWindow::_createTitlebarView() {
    kit::View* frameView = themeFrameView();
    if (!frameView) return;
    auto container = std::make_shared<YLTitlebarContainer>(kit::Rect());
    const kit::View* first = frameView->subviews().empty() ? nullptr : frameView->subviews().front().get();
    frameView->addSubview(container, kit::WindowOrderingMode::Below, first);
    titleBarContainer_ = kit::Weak<YLTitlebarContainer>(container.get());
    setTitleBarView(std::make_shared<YLTitlebarView>(kit::Rect()));
}

void TCImageWindow::setTitleBarView(std::shared_ptr<kit::View> v) {
    if (!v || v == titleBarView_) return;
    if (titleBarView_) titleBarView_->removeFromSuperview();
    titleBarView_ = v;
    YLTitlebarContainer* c = titleBarContainer_.get();
    v->setFrame(c ? c->bounds() : kit::Rect());
    v->setAutoresizingMask(kit::ViewWidthSizable | kit::ViewHeightSizable);
    if (c) c->addSubview(v);
}

// ---- layout ----

kit::View* TCImageWindow::themeFrameView() const { return contentView() ? contentView()->superview() : nullptr; }

kit::Rect TCImageWindow::_recalculateFrameForTitleBarContainer() const {
    kit::View* fv = themeFrameView();
    kit::Rect f = fv ? fv->frame() : kit::Rect();
    return kit::Rect(0, f.maxY() - titleBarHeight_, f.width(), titleBarHeight_);
}

kit::Button* TCImageWindow::_windowButtonToLayout(kit::WindowButtonKind kind, TCWindowButton* userProvided) {
    kit::Button* standard = standardWindowButton(kind);
    if (userProvided) {
        if (standard) standard->setHidden(true);
        return userProvided;
    }
    if (standard && standard->superview() != themeFrameView()) standard->setHidden(false);
    return standard;
}

void TCImageWindow::_layoutTrafficLightsAndContent() {
    YLTitlebarContainer* container = titleBarContainer_.get();
    const kit::Rect C = _recalculateFrameForTitleBarContainer();
    if (container) container->setFrame(C);

    kit::Button* close = _windowButtonToLayout(kit::WindowButtonKind::Close, closeButton_.get());
    kit::Button* mini = _windowButtonToLayout(kit::WindowButtonKind::Miniaturize, minimizeButton_.get());
    kit::Button* zoom = _windowButtonToLayout(kit::WindowButtonKind::Zoom, zoomButton_.get());
    kit::Rect cf = close ? close->frame() : kit::Rect();
    kit::Rect mf = mini ? mini->frame() : kit::Rect();
    kit::Rect zf = zoom ? zoom->frame() : kit::Rect();

    if (verticalTrafficLightButtons_) {
        const double total = cf.height() + mf.height() + zf.height() + 2 * (trafficLightSeparation_ - 2);
        const double bottom = centerTrafficLightButtons_ ? std::round(C.y() + C.height() / 2 - total / 2)
                                                         : C.y() + C.height() - total - trafficLightButtonsTopMargin_;
        cf.origin.x = mf.origin.x = zf.origin.x = trafficLightButtonsLeftMargin_;
        zf.origin.y = bottom;
        mf.origin.y = zf.y() + zf.height() + trafficLightSeparation_ - 2;
        cf.origin.y = mf.y() + mf.height() + trafficLightSeparation_ - 2;
    } else {
        double y = centerTrafficLightButtons_ ? std::round(C.y() + C.height() / 2 - cf.height() / 2)
                                              : C.y() + C.height() - cf.height() - trafficLightButtonsTopMargin_;
        y += topButtonMoveUp_;
        cf.origin.y = mf.origin.y = zf.origin.y = y;
        cf.origin.x = trafficLightButtonsLeftMargin_;
        mf.origin.x = cf.x() + cf.width() + trafficLightSeparation_;
        zf.origin.x = mf.x() + mf.width() + trafficLightSeparation_;
    }
    if (close) close->setFrame(cf);
    if (mini) mini->setFrame(mf);
    if (zoom) zoom->setFrame(zf);

    if (std::floor(kit::AppKitVersionNumber) > 1038) {
        kit::Button* fs = _windowButtonToLayout(kit::WindowButtonKind::FullScreen, fullScreenButton_.get());
        if (fs) {
            kit::Rect ff = fs->frame();
            if (!setFullScreenButtonRightMargin_) setFullScreenButtonRightMargin(C.width() - (ff.x() + ff.width()));
            ff.origin.x = C.width() - ff.width() - fullScreenButtonRightMargin_;
            ff.origin.y = centerFullScreenButton_ ? std::round(C.y() + C.height() / 2 - ff.height() / 2)
                                                  : C.y() + C.height() - ff.height() - trafficLightButtonsTopMargin_;
            fs->setFrame(ff);
        }
    }
    _repositionContentView();
}

void TCImageWindow::_repositionContentView() {
    kit::View* cv = contentView();
    if (!cv) return;
    kit::Rect f = cv->frame();
    const double h = frame().height() - titleBarHeight_;
    if (f.height() != h) {
        cv->setFrame(kit::Rect(f.x(), f.y(), f.width(), h));
        cv->setNeedsDisplay(true);
    }
}

void TCImageWindow::redrawBar() {
    if (titleBarView_) titleBarView_->setNeedsDisplay(true);
}

void TCImageWindow::_updateTitlebarView() { redrawBar(); }

// ---- setters ----

void TCImageWindow::setTitleBarHeight(double h) {
    if (h == titleBarHeight_) return;
    titleBarHeight_ = cachedTitleBarHeight_ = h;
    _layoutTrafficLightsAndContent();
    redrawBar();
}

void TCImageWindow::setTrafficLightButtonsLeftMargin(double m) {
    if (m == trafficLightButtonsLeftMargin_) return;
    trafficLightButtonsLeftMargin_ = m;
    _layoutTrafficLightsAndContent();
    redrawBar();
    _setupTrafficLightsTrackingArea();
}

void TCImageWindow::setFullScreenButtonRightMargin(double m) {
    if (m == fullScreenButtonRightMargin_) return;
    setFullScreenButtonRightMargin_ = true;
    fullScreenButtonRightMargin_ = m;
    _layoutTrafficLightsAndContent();
    redrawBar();
}

void TCImageWindow::setTrafficLightSeparation(double s) {
    if (s == trafficLightSeparation_) return;
    trafficLightSeparation_ = s;
    _layoutTrafficLightsAndContent();
    _setupTrafficLightsTrackingArea();
}

void TCImageWindow::setCenterTrafficLightButtons(bool c) {
    if (c == centerTrafficLightButtons_) return;
    centerTrafficLightButtons_ = c;
    _layoutTrafficLightsAndContent();
    _setupTrafficLightsTrackingArea();
}

void TCImageWindow::setVerticalTrafficLightButtons(bool v) {
    if (v == verticalTrafficLightButtons_) return;
    verticalTrafficLightButtons_ = v;
    _layoutTrafficLightsAndContent();
    _setupTrafficLightsTrackingArea();
}

void TCImageWindow::setCenterFullScreenButton(bool c) {
    if (c == centerFullScreenButton_) return;
    centerFullScreenButton_ = c;
    _layoutTrafficLightsAndContent();
}

void TCImageWindow::setShowsTitle(bool s) {
    if (s == showsTitle_) return;
    showsTitle_ = s;
    redrawBar();
}

void TCImageWindow::setShowsBaselineSeparator(bool s) {
    if (s == showsBaselineSeparator_) return;
    showsBaselineSeparator_ = s;
    redrawBar();
}

void TCImageWindow::setCustomButton(kit::Weak<TCWindowButton>& slot, std::shared_ptr<TCWindowButton> b,
                                    kit::WindowButtonKind kind, const char* action) {
    if (b.get() == slot.get()) return;
    if (TCWindowButton* old = slot.get()) old->removeFromSuperview();
    slot = kit::Weak<TCWindowButton>(b.get());
    if (!b) return;
    b->setTarget(this);
    b->setAction(action);
    if (kit::Button* standard = standardWindowButton(kind)) b->setFrameOrigin(standard->frame().origin);
    if (kit::View* fv = themeFrameView()) fv->addSubview(b);
}

void TCImageWindow::setCloseButton(std::shared_ptr<TCWindowButton> b) {
    setCustomButton(closeButton_, std::move(b), kit::WindowButtonKind::Close, "performClose:");
}
void TCImageWindow::setMinimizeButton(std::shared_ptr<TCWindowButton> b) {
    setCustomButton(minimizeButton_, std::move(b), kit::WindowButtonKind::Miniaturize, "performMiniaturize:");
}
void TCImageWindow::setZoomButton(std::shared_ptr<TCWindowButton> b) {
    setCustomButton(zoomButton_, std::move(b), kit::WindowButtonKind::Zoom, "performZoom:");
}
void TCImageWindow::setFullScreenButton(std::shared_ptr<TCWindowButton> b) {
    setCustomButton(fullScreenButton_, std::move(b), kit::WindowButtonKind::FullScreen, "toggleFullScreen:");
}

// ---- delegate ----

void TCImageWindow::setDelegate(kit::WindowDelegate* d) {
    delegateProxy_->secondaryDelegate = d;
    kit::Window::setDelegate(nullptr);
    kit::Window::setDelegate(delegateProxy_.get());
}

kit::WindowDelegate* TCImageWindow::delegate() const { return delegateProxy_->secondaryDelegate; }

// ---- window behaviour ----

void TCImageWindow::setTitle(const std::string& t) {
    kit::Window::setTitle(t);
    _layoutTrafficLightsAndContent();
    redrawBar();
}

void TCImageWindow::setContentView(std::shared_ptr<kit::View> v) {
    kit::Window::setContentView(std::move(v));
    _repositionContentView();
}

void TCImageWindow::becomeKeyWindow() {
    kit::Window::becomeKeyWindow();
    redrawBar();
    _layoutTrafficLightsAndContent();
    _setupTrafficLightsTrackingArea();
}

void TCImageWindow::resignKeyWindow() {
    kit::Window::resignKeyWindow();
    redrawBar();
    _layoutTrafficLightsAndContent();
}

void TCImageWindow::becomeMainWindow() {
    kit::Window::becomeMainWindow();
    redrawBar();
}

void TCImageWindow::resignMainWindow() {
    kit::Window::resignMainWindow();
    redrawBar();
}

void TCImageWindow::undoManagerDidCloseUndoGroupNotification(const kit::Notification&) { redrawBar(); }

void TCImageWindow::windowWillEnterFullScreen(const kit::Notification&) {
    if (!hideTitleBarInFullScreen_) return;
    titleBarHeight_ = 0;
    _layoutTrafficLightsAndContent();
    redrawBar();
    if (titleBarView_) titleBarView_->setHidden(true);
}

void TCImageWindow::windowWillExitFullScreen(const kit::Notification&) {
    if (!hideTitleBarInFullScreen_) return;
    titleBarHeight_ = cachedTitleBarHeight_;
    _layoutTrafficLightsAndContent();
    redrawBar();
    if (titleBarView_) titleBarView_->setHidden(false);
}
