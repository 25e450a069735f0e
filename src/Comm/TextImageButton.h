#pragma once
// The main push button of every screen and dialog: four state images and a
// label whose font and colours follow the name of the normal image.
#include "Comm/ImageStateButton.h"
#include "kit/ui/Layout.h"

class TextImageButton : public ImageStateButton {
public:
    explicit TextImageButton(const kit::Rect& frame = kit::Rect());

    // Creates the label once; a later call keeps the first text. Give the
    // images first: the label's size and font come from the normal image.
    void setTextWithName(const std::string& text);

    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(TextImageButton);
