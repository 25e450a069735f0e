#pragma once
// A drawn background: the white rounded panel behind the disk-tools table.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class RepaorTableBGView : public kit::View {
public:
    explicit RepaorTableBGView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(RepaorTableBGView);
