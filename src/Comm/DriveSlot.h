#pragma once
// The drive slots of the copy, image and clone screens: how a slot shows "no
// drive", a chosen drive, and the drive picker that opens from a slot.
#include <memory>
#include <string>

#include "Comm/Lib/YLPopoverController.h"
#include "Comm/SelectDiskViewController.h"
#include "Comm/SelectValueView.h"
#include "kit/ui/Color.h"

namespace screen {

// The slot's picture (the image named `imageName`).
void setSlotPicture(SelectValueView* slot, const std::string& imageName);
// An empty slot: the "add" picture, no name or size, `prompt` as its hint.
void resetSlot(SelectValueView* slot, const std::string& prompt);
// A slot holding a drive: its name (cut in the middle when too long, whole in
// the tool tip), its size text and its picture.
void showDriveInSlot(SelectValueView* slot, const std::string& name, const std::string& sizeText,
                     const std::string& imageName);
// A text button drawn with the "btn_<kind>" pictures ("sec", "pri"), enabled, showing `text`.
template <class Button>
void styleTextButton(Button* button, const std::string& kind, const std::string& text) {
    if (!button) return;
    button->setButtonEnabled(true);
    const std::string base = "btn_" + kind;
    button->setImageFromFileNormalName(base, base + "_press", base + "_hover", base + "_disable");
    button->setTextWithName(text);
}

// The drive picker in its popover: one at a time, closed by a second click on
// a slot or by a choice.
class DrivePicker {
public:
    struct Look {
        kit::Color fill;
        kit::Color border;
        double borderWidth = 1.0;
        bool onlyExternal = false;  // only the external disks are listed
    };

    DrivePicker() = default;
    ~DrivePicker() { detach(); }
    DrivePicker(const DrivePicker&) = delete;
    DrivePicker& operator=(const DrivePicker&) = delete;

    // A click on a slot: closes the picker when it is showing (false), else
    // opens a new one from `sender` whose choice goes to `delegate` (true).
    bool toggle(kit::View* sender, bool arrowRight, SelectDiskVCDelegate* delegate, const Look& look);
    // Closes the picker when it is showing.
    void closeIfVisible();
    // Cuts the picker from its delegate (the screen is going away).
    void detach();

    SelectDiskViewController* controller() const { return picker_.get(); }
    YLPopoverController* popover() const { return popover_.get(); }

private:
    std::shared_ptr<SelectDiskViewController> picker_;
    std::shared_ptr<YLPopoverController> popover_;
};

}  // namespace screen
