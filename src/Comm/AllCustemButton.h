#pragma once
// A standard button whose title is drawn white. Buttons of this class in a
// layout file come up with AllCustemButtonCell as their cell.
#include "kit/ui/Control.h"
#include "kit/ui/Layout.h"

class AllCustemButtonCell : public kit::ButtonCell {
public:
    kit::Rect drawTitle(const std::string& title, const kit::TextAttributes& attrs, const kit::Rect& frame,
                        kit::View& controlView) override;
};

class AllCustemButton : public kit::Button {
public:
    explicit AllCustemButton(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;

protected:
    std::shared_ptr<kit::Cell> makeCell() override;
};

KIT_REGISTER_VIEW(AllCustemButton);
