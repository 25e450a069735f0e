#pragma once
// The confirmation laid over the main window before a clone: "Cancel" only
// closes it, "Clone Now" closes it and starts the clone.
#include <memory>
#include <string>

#include "Bootable/MakeSureToCloneSystemVCDelegate.h"
#include "Comm/CancelTextImageButton.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"

class MakeSureToCloneSystemVC : public StatusPanelController {
public:
    explicit MakeSureToCloneSystemVC(const std::string& layoutName = "MakeSureToCloneSystemVC");

    void awakeFromNib() override;
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender);
    void cancelButtonAction(kit::Object* sender);
    void doneButtonAction(kit::Object* sender);

    kit::TextField* titleLabel() const { return titleLabel_.get(); }
    kit::View* titleBarView() const { return titleBarView_.get(); }
    kit::TextField* nodeLabel() const { return nodeLabel_.get(); }
    CancelTextImageButton* cancelButton() const { return cancelButton_.get(); }
    TextImageButton* doneButton() const { return doneButton_.get(); }
    // Not owned: the screen outlives its panels.
    MakeSureToCloneSystemVCDelegate* delegate() const { return delegate_; }
    void setDelegate(MakeSureToCloneSystemVCDelegate* d) { delegate_ = d; }

private:
    std::shared_ptr<kit::TextField> titleLabel_;
    std::shared_ptr<kit::View> titleBarView_;
    std::shared_ptr<kit::TextField> nodeLabel_;
    std::shared_ptr<CancelTextImageButton> cancelButton_;
    std::shared_ptr<TextImageButton> doneButton_;
    MakeSureToCloneSystemVCDelegate* delegate_ = nullptr;
};
