#pragma once
// The confirmation laid over the main window before a copy starts: "Cancel"
// only closes it, "Copy Now" closes it and starts the copy.
#include <string>

#include "Comm/PopWindow/ConfirmPanelController.h"
#include "FileCopy/CopyMakeSureWCDelegate.h"

class CopyMakeSureWC : public ConfirmPanel<CopyMakeSureWCDelegate, TextImageButton> {
public:
    explicit CopyMakeSureWC(const std::string& layoutName = "CopyMakeSureWC");
};
