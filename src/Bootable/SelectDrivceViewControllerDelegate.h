#pragma once
// What the "OS Clone" screen asks of the window that hosts it.
class SelectDrivceViewControllerDelegate {
public:
    virtual ~SelectDrivceViewControllerDelegate() = default;
    // NO while a clone runs (the tabs stay put), YES once it has ended.
    virtual void canChangeTab(bool value) = 0;
};
