#pragma once
// What the "Disk Copy" screen asks of the window that hosts it.
class DiskCopyVCDelegate {
public:
    virtual ~DiskCopyVCDelegate() = default;
    // NO while a copy runs (the tabs stay put), YES once it has ended.
    virtual void canChangeTab(bool value) = 0;
};
