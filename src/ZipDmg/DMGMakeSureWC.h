#pragma once
// The confirmation laid over the main window before an image or archive is
// made: "Cancel" only closes it, "Create Image" closes it and starts the job
// (the same button for both outputs).
#include <memory>
#include <string>

#include "Comm/CancelTextImageButton.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "ZipDmg/DMGMakeSureWCDelegate.h"

class DMGMakeSureWC : public StatusPanelController {
public:
    explicit DMGMakeSureWC(const std::string& layoutName = "DMGMakeSureWC");

    void awakeFromNib() override;
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender);
    void cancelButtonAction(kit::Object* sender);
    void doneButtonAction(kit::Object* sender);

    CancelTextImageButton* cancelButton() const { return cancelButton_.get(); }
    void setCancelButton(std::shared_ptr<CancelTextImageButton> b) { cancelButton_ = std::move(b); }
    TextImageButton* doneButton() const { return doneButton_.get(); }
    void setDoneButton(std::shared_ptr<TextImageButton> b) { doneButton_ = std::move(b); }
    // Not owned: the screen outlives its panels.
    DMGMakeSureWCDelegate* delegate() const { return delegate_; }
    void setDelegate(DMGMakeSureWCDelegate* d) { delegate_ = d; }

private:
    std::shared_ptr<CancelTextImageButton> cancelButton_;
    std::shared_ptr<TextImageButton> doneButton_;
    DMGMakeSureWCDelegate* delegate_ = nullptr;
};
