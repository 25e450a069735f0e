#pragma once
// The image confirmation's one report: the user confirmed "Create Image".
class DMGMakeSureWCDelegate {
public:
    virtual ~DMGMakeSureWCDelegate() = default;
    virtual void beginToMakeDMGorZIP() {}
};
