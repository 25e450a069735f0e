#pragma once
// One of the four feature tabs of the main window: an icon and a label, the
// icon changing with the selected flag.
#include "Comm/ImageStateButton.h"
#include "kit/ui/Layout.h"

class LeftButton : public ImageStateButton {
public:
    explicit LeftButton(const kit::Rect& frame = kit::Rect());

    // The unselected and the selected icon, drawn at (12, 16, 20, 20).
    void setImageFromFileNormalName(const std::string& normal, const std::string& active);
    void setTextWithName(const std::string& text);
    // Marks the tab selected or not and redraws at once.
    void setButtonAction(bool selected);
    bool isAction() const { return isAction_; }

    void drawRect(const kit::Rect& dirty) override;

    // The label's font: the system font of size 12 for every title, bold
    // when selected.
    kit::Font labelFont() const;

private:
    void applyLabelFont();
    bool isAction_ = false;
    std::shared_ptr<kit::Image> selectImage_;   // declared by the tab's design; never set
};

KIT_REGISTER_VIEW(LeftButton);
