#include "ZipDmg/DMGMakeSureWC.h"

// Its layout has no title bar to bind.
DMGMakeSureWC::DMGMakeSureWC(const std::string& layoutName)
    : ConfirmPanel(layoutName, "Create Image", nullptr, &DMGMakeSureWCDelegate::beginToMakeDMGorZIP) {}
