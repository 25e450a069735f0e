#include "Bootable/MakeSureCancelCloneSystemVC.h"

MakeSureCancelCloneSystemVC::MakeSureCancelCloneSystemVC(const std::string& layoutName)
    : ConfirmPanel(layoutName, "Continue", &MakeSureCancelCloneSystemVCDelegate::cancelToCopySystem, nullptr) {
    declareTitleBar();
    registerCloseWindowAction();
}
