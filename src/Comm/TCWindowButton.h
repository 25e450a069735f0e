#pragma once
// An image button that can stand in for a window's close, minimise, zoom or
// full-screen button. Its image follows the window's key state, its enabled
// state and its group's rollover.
#include <memory>
#include <optional>
#include <string>

#include "Comm/TCWindowButtonGroup.h"
#include "kit/Notification.h"
#include "kit/ui/Control.h"
#include "kit/ui/Image.h"

class TCWindowButton : public kit::Button {
public:
    static std::shared_ptr<TCWindowButton> windowButtonWithSize(kit::Size size,
                                                                const std::optional<std::string>& groupIdentifier);
    TCWindowButton(kit::Size size, const std::optional<std::string>& groupIdentifier);
    ~TCWindowButton() override;

    const std::optional<std::string>& groupIdentifier() const { return groupIdentifier_; }
    TCWindowButtonGroup& group() const { return TCWindowButtonGroup::groupWithIdentifier(groupIdentifier_); }

    std::shared_ptr<kit::Image> activeImage;
    std::shared_ptr<kit::Image> activeNotKeyWindowImage;
    std::shared_ptr<kit::Image> inactiveImage;
    std::shared_ptr<kit::Image> rolloverImage;
    // The pressed image is the button's alternate image.
    std::shared_ptr<kit::Image> pressedImage() { return alternateImage(); }
    void setPressedImage(std::shared_ptr<kit::Image> img) { setAlternateImage(std::move(img)); }
    const std::shared_ptr<kit::TrackingArea>& mouseTrackingArea() const { return mouseTrackingArea_; }

    void windowButtonGroupDidUpdateRolloverStateNotification(const kit::Notification& n);
    void windowDidChangeFocus(const kit::Notification& n);
    void windowWillEnterFullScreen(const kit::Notification& n);
    void windowWillExitFullScreen(const kit::Notification& n);

    void updateTrackingAreas() override;
    void viewWillMoveToWindow(kit::Window* newWindow) override;
    void viewDidMoveToWindow() override;
    void viewDidEndLiveResize() override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void setEnabled(bool e) override;

    void updateRollOverImage();
    void updateImage();
    void updateActiveImage();

private:
    void stopObservingWindow();
    std::optional<std::string> groupIdentifier_;
    std::shared_ptr<kit::TrackingArea> mouseTrackingArea_;
    kit::NotificationCenter::Token groupToken_ = 0;
    std::vector<kit::NotificationCenter::Token> windowTokens_;
};
