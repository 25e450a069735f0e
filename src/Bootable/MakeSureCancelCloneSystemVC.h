#pragma once
// The confirmation laid over the main window before a clone is stopped:
// "Cancel" closes it and stops the clone, "Continue" only closes it.
#include <memory>
#include <string>

#include "Bootable/MakeSureCancelCloneSystemVCDelegate.h"
#include "Comm/CancelTextImageButton.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"

class MakeSureCancelCloneSystemVC : public StatusPanelController {
public:
    explicit MakeSureCancelCloneSystemVC(const std::string& layoutName = "MakeSureCancelCloneSystemVC");

    void awakeFromNib() override;
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender);
    void cancelButtonAction(kit::Object* sender);
    void doneButtonAction(kit::Object* sender);

    kit::TextField* titleLabel() const { return titleLabel_.get(); }
    kit::View* titleBarView() const { return titleBarView_.get(); }
    CancelTextImageButton* cancelButton() const { return cancelButton_.get(); }
    TextImageButton* doneButton() const { return doneButton_.get(); }
    // Not owned: the screen outlives its panels.
    MakeSureCancelCloneSystemVCDelegate* delegate() const { return delegate_; }
    void setDelegate(MakeSureCancelCloneSystemVCDelegate* d) { delegate_ = d; }

private:
    std::shared_ptr<kit::TextField> titleLabel_;
    std::shared_ptr<kit::View> titleBarView_;
    std::shared_ptr<CancelTextImageButton> cancelButton_;
    std::shared_ptr<TextImageButton> doneButton_;
    MakeSureCancelCloneSystemVCDelegate* delegate_ = nullptr;
};
