#pragma once
// The confirmation laid over the main window before a copy starts: "Cancel"
// only closes it, "Copy Now" closes it and starts the copy.
#include <memory>
#include <string>

#include "Comm/CancelTextImageButton.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "FileCopy/CopyMakeSureWCDelegate.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"

class CopyMakeSureWC : public StatusPanelController {
public:
    explicit CopyMakeSureWC(const std::string& layoutName = "CopyMakeSureWC");

    void awakeFromNib() override;
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender);
    void cancelButtonAction(kit::Object* sender);
    void doneButtonAction(kit::Object* sender);

    kit::TextField* titleLabel() const { return titleLabel_.get(); }
    kit::View* titleBarView() const { return titleBarView_.get(); }
    TextImageButton* cancelButton() const { return cancelButton_.get(); }
    void setCancelButton(std::shared_ptr<TextImageButton> b) { cancelButton_ = std::move(b); }
    TextImageButton* doneButton() const { return doneButton_.get(); }
    void setDoneButton(std::shared_ptr<TextImageButton> b) { doneButton_ = std::move(b); }
    // Not owned: the screen outlives its panels.
    CopyMakeSureWCDelegate* delegate() const { return delegate_; }
    void setDelegate(CopyMakeSureWCDelegate* d) { delegate_ = d; }

private:
    std::shared_ptr<kit::TextField> titleLabel_;
    std::shared_ptr<kit::View> titleBarView_;
    std::shared_ptr<TextImageButton> cancelButton_;
    std::shared_ptr<TextImageButton> doneButton_;
    CopyMakeSureWCDelegate* delegate_ = nullptr;
};
