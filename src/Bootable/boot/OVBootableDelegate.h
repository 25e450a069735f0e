#pragma once
// What the clone engine tells its screen. Every operation is optional; the
// default bodies do nothing. All of them are called on the main thread.
#include <string>

#include "Bootable/boot/OVCloneProgress.h"
#include "kit/Plist.h"

class OVBootableDelegate {
public:
    virtual ~OVBootableDelegate() = default;

    // A step or an end; `progress` is valid only during the call.
    virtual void OVUINotify(const OVCloneProgress* progress) {}
    // A text for the progress label.
    virtual void changeProLabelValue(const std::string& text) {}
    // A tens mark (1-10) of a copy phase (1 system files, 2 user files).
    virtual void changeProTimeWithTag(int tag, int withStep) {}
    // Offered to screens that watch USB disks; the clone screen needs neither.
    virtual void OVUSBDataWillEarse(const kit::Value& usbRecord) {}
    virtual void OVEnumUSBFinish() {}
};
