#pragma once
// The container of a custom title bar, laid over the top of the window's
// frame view. Dragging in it moves the window (not in full screen), anchored
// at the press.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class YLTitlebarContainer : public kit::View {
public:
    explicit YLTitlebarContainer(const kit::Rect& frame = kit::Rect());
    void mouseDown(kit::Event& e) override;
    void mouseDragged(kit::Event& e) override;
    void mouseUp(kit::Event& e) override;
};

KIT_REGISTER_VIEW(YLTitlebarContainer);
