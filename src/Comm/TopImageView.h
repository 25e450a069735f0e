#pragma once
// An image view that drags its window: a press on it moves the window.
#include "kit/ui/ImageView.h"
#include "kit/ui/Layout.h"

class TopImageView : public kit::ImageView {
public:
    explicit TopImageView(const kit::Rect& frame = kit::Rect());
    bool mouseDownCanMoveWindow() const override { return true; }
};

KIT_REGISTER_VIEW(TopImageView);
