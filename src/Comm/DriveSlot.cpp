#include "Comm/DriveSlot.h"

#include "kit/ui/Image.h"

namespace screen {

void setSlotPicture(SelectValueView* slot, const std::string& imageName) {
    if (slot && slot->selectDiskBut()) slot->selectDiskBut()->setImage(kit::Image::named(imageName));
}

void resetSlot(SelectValueView* slot, const std::string& prompt) {
    if (!slot) return;
    slot->setIsHaveD(false);
    setSlotPicture(slot, "add");
    slot->nameLabel()->setStringValue("");
    slot->nameLabel()->setToolTip("");
    slot->sizeLabel()->setStringValue("");
    slot->nodeSelectLabel()->setStringValue(prompt);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(true);
    slot->changeBgImageViewWithError(false);
}

void showDriveInSlot(SelectValueView* slot, const std::string& name, const std::string& sizeText,
                     const std::string& imageName) {
    if (!slot) return;
    // A name too long for the card keeps its start and its end (which often
    // tells two volumes apart) around an ellipsis; the whole name is the tool tip.
    slot->nameLabel()->setLineBreakMode(kit::LineBreakMode::TruncatingMiddle);
    slot->nameLabel()->setStringValue(name);
    slot->nameLabel()->setToolTip(name);
    slot->sizeLabel()->setStringValue(sizeText);
    slot->nodeSelectLabel()->setStringValue("");
    slot->setIsHaveD(true);
    setSlotPicture(slot, imageName);
    slot->changeBgImageViewWithError(false);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(false);
}

bool DrivePicker::toggle(kit::View* sender, bool arrowRight, SelectDiskVCDelegate* delegate, const Look& look) {
    if (popover_ && popover_->popoverIsVisible()) {
        popover_->closePopover(nullptr);
        return false;
    }
    if (!sender) return false;
    if (picker_) picker_->setSelectDiskVCDelegate(nullptr);
    picker_ = std::make_shared<SelectDiskViewController>();
    picker_->setSelectDiskVCDelegate(delegate);
    if (look.onlyExternal) picker_->setIsOnlyShowEx(true);
    popover_ = std::make_shared<YLPopoverController>(picker_);
    popover_->setColor(look.fill);
    popover_->setBorderColor(look.border);
    popover_->setBorderWidth(look.borderWidth);
    popover_->setAnimates(true);
    popover_->presentPopoverFromRect(sender->bounds(), sender, arrowRight ? PopoverArrowRight : PopoverArrowLeft, true);
    return true;
}

void DrivePicker::closeIfVisible() {
    if (popover_ && popover_->popoverIsVisible()) popover_->closePopover(nullptr);
}

void DrivePicker::detach() {
    if (picker_) picker_->setSelectDiskVCDelegate(nullptr);
}

}  // namespace screen
