#pragma once
// A standard button that shows the pointing-hand cursor while the pointer is
// over it (the open-folder button of the copy and image screens).
#include "kit/ui/Control.h"
#include "kit/ui/Layout.h"

class OVHandButton : public kit::Button {
public:
    explicit OVHandButton(const kit::Rect& frame = kit::Rect());

    void viewDidMoveToWindow() override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;

private:
    std::shared_ptr<kit::TrackingArea> handArea_;
};

KIT_REGISTER_VIEW(OVHandButton);
