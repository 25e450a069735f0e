#pragma once
// What the "Disk Image Create" screen asks of the window that hosts it.
class DmgVCDelegate {
public:
    virtual ~DmgVCDelegate() = default;
    // NO while an image or archive is being made (the tabs stay put), YES once it has ended.
    virtual void canChangeTab(bool value) = 0;
};
