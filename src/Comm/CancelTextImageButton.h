#pragma once
// The secondary push button ("Cancel" of the confirmations and progress
// views): state images like TextImageButton, fixed label colours.
#include "Comm/ImageStateButton.h"
#include "kit/ui/Layout.h"

class CancelTextImageButton : public ImageStateButton {
public:
    explicit CancelTextImageButton(const kit::Rect& frame = kit::Rect());

    // Creates the label (full width, 17 high, centred vertically). A further
    // call changes the text of that label rather than stacking another.
    void setTextWithName(const std::string& text);

    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(CancelTextImageButton);
