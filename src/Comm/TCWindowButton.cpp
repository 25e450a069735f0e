#include "Comm/TCWindowButton.h"

#include "kit/ui/Window.h"

std::shared_ptr<TCWindowButton> TCWindowButton::windowButtonWithSize(kit::Size size,
                                                                     const std::optional<std::string>& groupIdentifier) {
    return std::make_shared<TCWindowButton>(size, groupIdentifier);
}

TCWindowButton::TCWindowButton(kit::Size size, const std::optional<std::string>& groupIdentifier)
    : kit::Button(kit::Rect(0, 0, size.width, size.height)), groupIdentifier_(groupIdentifier) {
    setButtonType(kit::ButtonType::MomentaryChange);
    setBordered(false);
    setTitle("");
    buttonCell()->setHighlightsBy(kit::ContentsCellMask);
    buttonCell()->setImageDimsWhenDisabled(false);
    buttonCell()->setImagePosition(kit::ImagePosition::ImageOnly);
    groupToken_ = kit::NotificationCenter::defaultCenter().addObserver(
        TCWindowButtonGroupDidUpdateRolloverStateNotification, &group(),
        [this](const kit::Notification& n) { windowButtonGroupDidUpdateRolloverStateNotification(n); });
    updateTrackingAreas();
}

TCWindowButton::~TCWindowButton() {
    kit::NotificationCenter::defaultCenter().removeObserver(groupToken_);
    stopObservingWindow();
}

void TCWindowButton::windowButtonGroupDidUpdateRolloverStateNotification(const kit::Notification&) {
    updateRollOverImage();
}

void TCWindowButton::updateTrackingAreas() {
    kit::Button::updateTrackingAreas();
    if (mouseTrackingArea_) removeTrackingArea(mouseTrackingArea_.get());
    mouseTrackingArea_ = std::make_shared<kit::TrackingArea>(kit::insetRect(bounds(), -4, -4),
                                                             kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways, this);
    addTrackingArea(mouseTrackingArea_);
}

void TCWindowButton::stopObservingWindow() {
    for (auto t : windowTokens_) kit::NotificationCenter::defaultCenter().removeObserver(t);
    windowTokens_.clear();
}

void TCWindowButton::viewWillMoveToWindow(kit::Window* newWindow) {
    stopObservingWindow();
    if (!newWindow) return;
    auto& nc = kit::NotificationCenter::defaultCenter();
    windowTokens_.push_back(nc.addObserver(kit::WindowDidBecomeKeyNotification, newWindow,
                                           [this](const kit::Notification& n) { windowDidChangeFocus(n); }));
    windowTokens_.push_back(nc.addObserver(kit::WindowDidResignKeyNotification, newWindow,
                                           [this](const kit::Notification& n) { windowDidChangeFocus(n); }));
    windowTokens_.push_back(nc.addObserver(kit::WindowWillEnterFullScreenNotification, newWindow,
                                           [this](const kit::Notification& n) { windowWillEnterFullScreen(n); }));
    windowTokens_.push_back(nc.addObserver(kit::WindowWillExitFullScreenNotification, newWindow,
                                           [this](const kit::Notification& n) { windowWillExitFullScreen(n); }));
}

void TCWindowButton::viewDidMoveToWindow() {
    if (window()) updateImage();
}

void TCWindowButton::windowDidChangeFocus(const kit::Notification&) { updateImage(); }

void TCWindowButton::windowWillEnterFullScreen(const kit::Notification&) {
    group().resetMouseCaptures();
    setHidden(true);
}

void TCWindowButton::windowWillExitFullScreen(const kit::Notification&) {
    group().resetMouseCaptures();
    setHidden(false);
}

void TCWindowButton::viewDidEndLiveResize() {
    kit::Button::viewDidEndLiveResize();
    group().resetMouseCaptures();
}

void TCWindowButton::mouseEntered(kit::Event& e) {
    kit::Button::mouseEntered(e);
    group().didCaptureMousePointer();
    updateRollOverImage();
}

void TCWindowButton::mouseExited(kit::Event& e) {
    kit::Button::mouseExited(e);
    group().didReleaseMousePointer();
    updateRollOverImage();
}

void TCWindowButton::setEnabled(bool e) {
    kit::Button::setEnabled(e);
    setImage(e ? activeImage : inactiveImage);
}

void TCWindowButton::updateRollOverImage() {
    if (group().shouldDisplayRollOver() && isEnabled()) setImage(rolloverImage);
    else updateImage();
}

void TCWindowButton::updateImage() {
    if (isEnabled()) updateActiveImage();
    else setImage(inactiveImage);
}

void TCWindowButton::updateActiveImage() {
    kit::Window* w = window();
    setImage(w && w->isKeyWindow() ? activeImage : activeNotKeyWindowImage);
}
