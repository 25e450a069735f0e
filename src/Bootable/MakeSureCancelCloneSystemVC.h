#pragma once
// The confirmation laid over the main window before a clone is stopped:
// "Cancel" closes it and stops the clone, "Continue" only closes it (the
// clone goes on).
#include <string>

#include "Bootable/MakeSureCancelCloneSystemVCDelegate.h"
#include "Comm/PopWindow/ConfirmPanelController.h"

class MakeSureCancelCloneSystemVC : public ConfirmPanel<MakeSureCancelCloneSystemVCDelegate> {
public:
    explicit MakeSureCancelCloneSystemVC(const std::string& layoutName = "MakeSureCancelCloneSystemVC");
};
