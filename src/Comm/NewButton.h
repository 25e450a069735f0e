#pragma once
// A list-row button cell with an icon and a label. A click within the
// 15 x 30 area at the cell's origin tells the delegate; clicks are then
// blocked process-wide for 0.2 s so that one press is reported once.
#include <memory>
#include <string>

#include "kit/ui/Cell.h"

class NewButton;

class NewButtonDelegate {
public:
    virtual ~NewButtonDelegate() = default;
    virtual void clickButtonAction(NewButton& cell) = 0;
};

class NewButton : public kit::ButtonCell {
public:
    NewButton() = default;

    std::shared_ptr<kit::TextFieldCell> label() const { return label_; }
    void setLabel(std::shared_ptr<kit::TextFieldCell> l) { label_ = std::move(l); }
    std::shared_ptr<kit::ImageCell> iconImageCell() const { return iconImageCell_; }
    void setIconImageCell(std::shared_ptr<kit::ImageCell> c) { iconImageCell_ = std::move(c); }
    const std::string& name() const { return name_; }
    void setName(const std::string& n) { name_ = n; }
    // Not kept: the delegate outlives the cell or clears itself.
    NewButtonDelegate* delegate() const { return delegate_; }
    void setDelegate(NewButtonDelegate* d) { delegate_ = d; }

    // The label's and the icon's rectangles in a cell frame (zero without
    // the cell in question).
    kit::Rect titleRectForBounds(const kit::Rect& frame) const;
    kit::Rect imageRectForBounds(const kit::Rect& frame) const;

    void drawWithFrame(const kit::Rect& frame, kit::View& controlView) override;
    unsigned hitTestForEvent(const kit::Event& e, const kit::Rect& cellFrame, kit::View& controlView) override;
    // Ends the click block.
    void changeVlaue(kit::Object* sender);
    // A copy that shares the label and icon cells.
    std::shared_ptr<NewButton> copy() const;

    // Whether clicks are blocked right now (for tests).
    static bool clicksBlocked();

private:
    std::shared_ptr<kit::TextFieldCell> label_;
    std::shared_ptr<kit::ImageCell> iconImageCell_;
    std::string name_;
    NewButtonDelegate* delegate_ = nullptr;
};
