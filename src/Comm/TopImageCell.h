#pragma once
// The image cell of a window-dragging image view.
#include "kit/ui/Cell.h"

class TopImageCell : public kit::ImageCell {
public:
    bool mouseDownCanMoveWindow() const { return true; }
};
