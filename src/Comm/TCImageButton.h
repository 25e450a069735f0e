#pragma once
// An icon button with four state images (the drive slot's clear button, the
// copy-mode box's open button, the file-choice window's cancel button).
#include "Comm/ImageStateButton.h"
#include "kit/ui/Layout.h"

class TCImageButton : public ImageStateButton {
public:
    explicit TCImageButton(const kit::Rect& frame = kit::Rect());

    // Shrinks the image area to (0, 0, width - 4, height) of `frame` and lays
    // a centred label over the bounds, 2 points up.
    void setTextWithName(const std::string& text, const kit::Rect& frame);

    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(TCImageButton);
