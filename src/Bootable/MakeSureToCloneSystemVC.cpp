#include "Bootable/MakeSureToCloneSystemVC.h"

MakeSureToCloneSystemVC::MakeSureToCloneSystemVC(const std::string& layoutName)
    : ConfirmPanel(layoutName, "Clone Now", nullptr, &MakeSureToCloneSystemVCDelegate::beginToCopySystem) {
    declareTitleBar();
    declareOutlet("nodeLabel", nodeLabel_);
    registerCloseWindowAction();
}
