#pragma once
// The confirmation laid over the main window before an image or archive is
// made: "Cancel" only closes it, "Create Image" closes it and starts the job
// (the same button for both outputs).
#include <string>

#include "Comm/PopWindow/ConfirmPanelController.h"
#include "ZipDmg/DMGMakeSureWCDelegate.h"

class DMGMakeSureWC : public ConfirmPanel<DMGMakeSureWCDelegate> {
public:
    explicit DMGMakeSureWC(const std::string& layoutName = "DMGMakeSureWC");
};
