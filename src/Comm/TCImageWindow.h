#pragma once
// The window of the main, file-choice, About and update windows: transparent,
// movable by its background, with a custom title bar (a container over the
// top of the frame view holding a title-bar view that the window controllers
// fill). The standard close, minimise and zoom buttons are moved into the
// bar, and the content view ends at the bar's lower edge. Callers set
// titleBarHeight, trafficLightButtonsLeftMargin and topButtonMoveUp (the last
// one takes effect at the next layout).
#include <functional>
#include <memory>
#include <optional>

#include "Comm/TCImageWindowDelegateProxy.h"
#include "Comm/TCWindowButton.h"
#include "Comm/YLTitlebarContainer.h"
#include "Comm/YLTitlebarView.h"
#include "kit/Notification.h"
#include "kit/ui/Layout.h"
#include "kit/ui/Window.h"

class TCImageWindow : public kit::Window {
public:
    TCImageWindow(const kit::Rect& contentRect, unsigned styleMask);
    ~TCImageWindow() override;

    double titleBarHeight() const { return titleBarHeight_; }
    void setTitleBarHeight(double h);
    double cachedTitleBarHeight() const { return cachedTitleBarHeight_; }
    void setCachedTitleBarHeight(double h) { cachedTitleBarHeight_ = h; }
    kit::View* titleBarView() const { return titleBarView_.get(); }
    std::shared_ptr<kit::View> titleBarViewPtr() const { return titleBarView_; }
    void setTitleBarView(std::shared_ptr<kit::View> v);
    YLTitlebarContainer* titleBarContainer() const { return titleBarContainer_.get(); }

    double trafficLightButtonsLeftMargin() const { return trafficLightButtonsLeftMargin_; }
    void setTrafficLightButtonsLeftMargin(double m);
    double trafficLightButtonsTopMargin() const { return trafficLightButtonsTopMargin_; }
    void setTrafficLightButtonsTopMargin(double m) { trafficLightButtonsTopMargin_ = m; }
    double trafficLightSeparation() const { return trafficLightSeparation_; }
    void setTrafficLightSeparation(double s);
    double topButtonMoveUp() const { return topButtonMoveUp_; }
    void setTopButtonMoveUp(double d) { topButtonMoveUp_ = d; }
    bool centerTrafficLightButtons() const { return centerTrafficLightButtons_; }
    void setCenterTrafficLightButtons(bool c);
    bool verticalTrafficLightButtons() const { return verticalTrafficLightButtons_; }
    void setVerticalTrafficLightButtons(bool v);
    double fullScreenButtonRightMargin() const { return fullScreenButtonRightMargin_; }
    void setFullScreenButtonRightMargin(double m);
    bool hasFullScreenButtonRightMargin() const { return setFullScreenButtonRightMargin_; }
    double fullScreenButtonTopMargin() const { return fullScreenButtonTopMargin_; }
    void setFullScreenButtonTopMargin(double m) { fullScreenButtonTopMargin_ = m; }
    bool centerFullScreenButton() const { return centerFullScreenButton_; }
    void setCenterFullScreenButton(bool c);
    bool hideTitleBarInFullScreen() const { return hideTitleBarInFullScreen_; }
    void setHideTitleBarInFullScreen(bool h) { hideTitleBarInFullScreen_ = h; }
    bool showsTitle() const { return showsTitle_; }
    void setShowsTitle(bool s);
    bool showsTitleInFullscreen() const { return showsTitleInFullscreen_; }
    void setShowsTitleInFullscreen(bool s) { showsTitleInFullscreen_ = s; }
    bool showsBaselineSeparator() const { return showsBaselineSeparator_; }
    void setShowsBaselineSeparator(bool s);

    // Custom buttons that replace the standard ones (not kept: their
    // superview keeps them).
    TCWindowButton* closeButton() const { return closeButton_.get(); }
    TCWindowButton* minimizeButton() const { return minimizeButton_.get(); }
    TCWindowButton* zoomButton() const { return zoomButton_.get(); }
    TCWindowButton* fullScreenButton() const { return fullScreenButton_.get(); }
    void setCloseButton(std::shared_ptr<TCWindowButton> b);
    void setMinimizeButton(std::shared_ptr<TCWindowButton> b);
    void setZoomButton(std::shared_ptr<TCWindowButton> b);
    void setFullScreenButton(std::shared_ptr<TCWindowButton> b);

    // Drawing of the bar: (draws as main, the bar's frame, its clipping path).
    std::function<void(bool, const kit::Rect&, const kit::BezierPath&)> titleBarDrawingBlock;
    std::optional<kit::Color> titleTextColor, inactiveTitleTextColor;
    std::optional<kit::Shadow> titleTextShadow, inactiveTitleTextShadow;
    std::optional<kit::Color> titleBarStartColor, titleBarEndColor, inactiveTitleBarStartColor, inactiveTitleBarEndColor,
        baselineSeparatorColor, inactiveBaselineSeparatorColor;

    TCImageWindowDelegateProxy* delegateProxy() const { return delegateProxy_.get(); }
    // The real delegate; the window's own delegate is always the proxy.
    void setDelegate(kit::WindowDelegate* d) override;
    kit::WindowDelegate* delegate() const override;

    void setTitle(const std::string& t) override;
    void setContentView(std::shared_ptr<kit::View> v) override;
    void becomeKeyWindow() override;
    void resignKeyWindow() override;
    void becomeMainWindow() override;
    void resignMainWindow() override;

    // The superview of the content view.
    kit::View* themeFrameView() const;
    void undoManagerDidCloseUndoGroupNotification(const kit::Notification& n);
    void windowWillEnterFullScreen(const kit::Notification& n);
    void windowWillExitFullScreen(const kit::Notification& n);

    // Internal steps, public for tests of the layout.
    void _layoutTrafficLightsAndContent();
    void _repositionContentView();
    kit::Rect _recalculateFrameForTitleBarContainer() const;
    double _minimumTitlebarHeight() const;
    double _defaultTrafficLightLeftMargin() const;
    double _defaultTrafficLightSeparation() const;
    void _setupTrafficLightsTrackingArea() {}

private:
    void _doInitialWindowSetup();
    void _createTitlebarView();
    void _updateTitlebarView();
    kit::Button* _windowButtonToLayout(kit::WindowButtonKind kind, TCWindowButton* userProvided);
    void setCustomButton(kit::Weak<TCWindowButton>& slot, std::shared_ptr<TCWindowButton> b,
                         kit::WindowButtonKind kind, const char* action);
    void redrawBar();

    double titleBarHeight_ = 0, cachedTitleBarHeight_ = 0;
    std::shared_ptr<kit::View> titleBarView_;
    kit::Weak<YLTitlebarContainer> titleBarContainer_;
    double trafficLightButtonsLeftMargin_ = 0, trafficLightButtonsTopMargin_ = 3, trafficLightSeparation_ = 0;
    double topButtonMoveUp_ = 0;
    bool centerTrafficLightButtons_ = true, verticalTrafficLightButtons_ = false;
    double fullScreenButtonRightMargin_ = 0;
    bool setFullScreenButtonRightMargin_ = false;
    double fullScreenButtonTopMargin_ = 3;
    bool centerFullScreenButton_ = false, hideTitleBarInFullScreen_ = false, showsTitle_ = false,
         showsTitleInFullscreen_ = false, showsBaselineSeparator_ = true;
    kit::Weak<TCWindowButton> closeButton_, minimizeButton_, zoomButton_, fullScreenButton_;
    std::unique_ptr<TCImageWindowDelegateProxy> delegateProxy_;
    std::vector<kit::NotificationCenter::Token> tokens_;
};

KIT_REGISTER_WINDOW(TCImageWindow);
