#include "FileCopy/CopyMakeSureWC.h"

CopyMakeSureWC::CopyMakeSureWC(const std::string& layoutName)
    : ConfirmPanel(layoutName, "Copy Now", nullptr, &CopyMakeSureWCDelegate::beginToCopyFiles) {
    declareTitleBar();
}
