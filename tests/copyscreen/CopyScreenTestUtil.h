#pragma once
// The "Disk Copy" tab on a simulated machine, as a test drives it: the real
// main window with its screen, the real volume records of the machine, the
// drive picker's hand-back, the panels laid over the window, and trees on disk.
#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "support/ScreenTestUtil.h"

namespace copyscreen {

using namespace screentest;

class CopyScreenTest : public TwoSlotScreenTest<DiskCopyViewController, CopyMakeSureWC> {
protected:
    explicit CopyScreenTest(const char* timeScale = nullptr) : TwoSlotScreenTest(timeScale) {}

    DiskCopyViewController* screenOf(MainWindowController& m) override { return m.diskCopyVC(); }

    // "Copy Now" on the page, then on the confirmation once it shows.
    bool startCopy() { return start(); }
};

}  // namespace copyscreen
