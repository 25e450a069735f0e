#pragma once
// Controls: views that send a named action to a target. Button tracks a
// press: the action goes out when the mouse button is released inside, and a
// disabled button takes no clicks. An action that closes or destroys the
// button's own window is safe: the button touches nothing of itself once its
// action has destroyed it.
#include <memory>
#include <string>

#include "kit/ui/Cell.h"
#include "kit/ui/View.h"

namespace kit {

class Control : public View {
public:
    explicit Control(const Rect& frame = Rect());

    // The cell, made on first use by makeCell() (the platform's cellClass).
    Cell* cell();
    void setCell(std::shared_ptr<Cell> c);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool e);

    Responder* target() const { return target_.get(); }
    void setTarget(Responder* t) { target_ = Weak<Responder>(t); }
    const std::string& action() const { return action_; }
    void setAction(const std::string& a) { action_ = a; }
    // Sends the action (to the target, else along the responder chain).
    // True when some responder performed it.
    bool sendAction();
    bool sendAction(const std::string& action, Responder* target);

    std::string stringValue() { return cell()->stringValue(); }
    virtual void setStringValue(const std::string& s);
    const Font& font() { return cell()->font(); }
    void setFont(const Font& f);
    TextAlignment alignment() { return cell()->alignment(); }
    void setAlignment(TextAlignment a);

    void drawRect(const Rect& dirty) override;
    // Controls lay out and draw top-down, as the platform's do.
    bool isFlipped() const override { return true; }

protected:
    virtual std::shared_ptr<Cell> makeCell();

private:
    std::shared_ptr<Cell> cell_;
    bool enabled_ = true;
    Weak<Responder> target_;
    std::string action_;
};

class Button : public Control {
public:
    explicit Button(const Rect& frame = Rect());

    ButtonCell* buttonCell();
    const std::string& title() { return buttonCell()->title(); }
    void setTitle(const std::string& t);
    std::shared_ptr<Image> image() { return buttonCell()->image(); }
    void setImage(std::shared_ptr<Image> img);
    std::shared_ptr<Image> alternateImage() { return buttonCell()->alternateImage(); }
    void setAlternateImage(std::shared_ptr<Image> img);
    BezelStyle bezelStyle() { return buttonCell()->bezelStyle(); }
    void setBezelStyle(BezelStyle b);
    void setButtonType(ButtonType t);
    bool isBordered() { return buttonCell()->isBordered(); }
    void setBordered(bool b);
    void setImagePosition(ImagePosition p);
    void setImageScaling(ImageScaling s);
    CellState state() { return buttonCell()->state(); }
    void setState(CellState s);
    bool isHighlighted() { return buttonCell()->isHighlighted(); }
    void highlight(bool on);
    // True between a press inside and its release.
    bool isTracking() const { return tracking_; }

    // Sends the action as a click would (the platform's performClick:).
    void performClick(Object* sender = nullptr);

    void mouseDown(Event& e) override;
    void mouseDragged(Event& e) override;
    void mouseUp(Event& e) override;

protected:
    std::shared_ptr<Cell> makeCell() override;

private:
    bool tracking_ = false;
};

}  // namespace kit
