#pragma once
// The confirmation laid over the main window before a clone: "Cancel" only
// closes it, "Clone Now" closes it and starts the clone.
#include <memory>
#include <string>

#include "Bootable/MakeSureToCloneSystemVCDelegate.h"
#include "Comm/PopWindow/ConfirmPanelController.h"

class MakeSureToCloneSystemVC : public ConfirmPanel<MakeSureToCloneSystemVCDelegate> {
public:
    explicit MakeSureToCloneSystemVC(const std::string& layoutName = "MakeSureToCloneSystemVC");

    kit::TextField* nodeLabel() const { return nodeLabel_.get(); }

private:
    std::shared_ptr<kit::TextField> nodeLabel_;
};
