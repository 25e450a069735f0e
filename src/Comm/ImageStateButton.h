#pragma once
// What the image buttons (TextImageButton, CancelTextImageButton,
// TCImageButton, LeftButton) share: the four state images, the label, the
// tracking, hover and usable flags, and their mouse handling.
//
// The usable flag (isDisabled, YES = usable, set by setButtonEnabled) is
// separate from the control's enabled flag; a click needs both. The hover
// flag follows the pointer through one tracking area that covers the
// button's bounds whatever its size.
#include <memory>
#include <string>

#include "kit/ui/Control.h"
#include "kit/ui/Image.h"
#include "kit/ui/TextField.h"

class ImageStateButton : public kit::Button {
public:
    explicit ImageStateButton(const kit::Rect& frame);

    // Loads the four images by name; the drawing rectangles take the normal
    // image's size. A name without an image leaves that state without one.
    void setImageFromFileNormalName(const std::string& normal, const std::string& active,
                                    const std::string& hover, const std::string& disable);

    void setButtonEnabled(bool usable);
    bool isFocus() const { return isFocus_; }
    void setIsFocus(bool f) { isFocus_ = f; }

    // Fields, read by the drawing and by tests.
    const std::shared_ptr<kit::Image>& normalImage() const { return normalImage_; }
    const std::shared_ptr<kit::Image>& activeImage() const { return activeImage_; }
    const std::shared_ptr<kit::Image>& hoverImage() const { return hoverImage_; }
    const std::shared_ptr<kit::Image>& disableImage() const { return disableImage_; }
    kit::TextField* textField() const { return textField_.get(); }
    bool isTrackingFlag() const { return isTracking_; }
    bool isDisabled() const { return isDisabled_; }
    const kit::Rect& dstRect() const { return dstRect_; }
    const kit::Rect& srcRect() const { return srcRect_; }
    // Enabled and usable: the look and the clicks of a working button.
    bool isUsable() const { return isEnabled() && isDisabled_; }

    void mouseDown(kit::Event& e) override;
    void mouseUp(kit::Event& e) override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;

protected:
    // Installs the one hover area (once).
    void ensureHoverArea();
    static std::string nameOf(const std::shared_ptr<kit::Image>& img) { return img ? img->name() : std::string(); }
    void setLabelColor(const kit::Color& c);

    std::shared_ptr<kit::Image> normalImage_, activeImage_, hoverImage_, disableImage_;
    std::shared_ptr<kit::TextField> textField_;
    bool isTracking_ = false;
    bool isFocus_ = false;
    bool isDisabled_ = true;
    kit::Rect dstRect_, srcRect_;

private:
    std::shared_ptr<kit::TrackingArea> hoverArea_;
};
