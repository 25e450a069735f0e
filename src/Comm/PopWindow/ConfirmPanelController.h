#pragma once
// The confirmations laid over the main window before a job starts or stops:
// a secondary "Cancel" button and a primary button whose text each
// confirmation gives. Either button first closes the panel, then tells the
// delegate when it is the button that confirmation reports. The window
// manager's close answers with the button that only closes the panel. The
// delegate to tell is taken before the close, and the window lets go of the
// controller only after the click has been handled, so nothing runs on a
// freed panel.
#include <functional>
#include <memory>
#include <string>

#include "Comm/CancelTextImageButton.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"

class ConfirmPanelController : public StatusPanelController {
public:
    void awakeFromNib() override;
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender);
    void cancelButtonAction(kit::Object* sender);
    void doneButtonAction(kit::Object* sender);

    // Null for a layout without a title bar.
    kit::TextField* titleLabel() const { return titleLabel_.get(); }
    kit::View* titleBarView() const { return titleBarView_.get(); }
    TextImageButton* doneButton() const { return doneButton_.get(); }
    void setDoneButton(std::shared_ptr<TextImageButton> b) { doneButton_ = std::move(b); }

protected:
    enum class Button { Cancel, Done };

    ConfirmPanelController(const std::string& layoutName, std::string doneText);

    // For layouts with a title bar: binds titleBarView and titleLabel.
    void declareTitleBar();
    // For layouts whose controls close the panel without answering it.
    void registerCloseWindowAction();

    // What to run once the panel has closed after `button` (empty: nothing).
    virtual std::function<void()> reportFor(Button button) const = 0;

    template <class B>
    static void setUpButton(B* button, const std::string& image, const std::string& text) {
        if (!button) return;
        button->setButtonEnabled(true);
        button->setImageFromFileNormalName(image, image + "_press", image + "_hover", image + "_disable");
        button->setTextWithName(text);
    }

private:
    void answer(Button button, kit::Object* sender);
    Button dismissal() const;

    std::string doneText_;
    std::shared_ptr<kit::TextField> titleLabel_;
    std::shared_ptr<kit::View> titleBarView_;
    std::shared_ptr<TextImageButton> doneButton_;
};

// A confirmation reporting to a `Delegate` (not owned: the screen outlives
// its panels). `onCancel` and `onDone` name the delegate call each button
// makes; null for a button that only closes the panel.
template <class Delegate, class CancelButton = CancelTextImageButton>
class ConfirmPanel : public ConfirmPanelController {
public:
    using Report = void (Delegate::*)();

    void awakeFromNib() override {
        setUpButton(cancelButton_.get(), "btn_sec", "Cancel");
        ConfirmPanelController::awakeFromNib();
    }

    CancelButton* cancelButton() const { return cancelButton_.get(); }
    void setCancelButton(std::shared_ptr<CancelButton> b) { cancelButton_ = std::move(b); }
    Delegate* delegate() const { return delegate_; }
    void setDelegate(Delegate* d) { delegate_ = d; }

protected:
    ConfirmPanel(const std::string& layoutName, std::string doneText, Report onCancel, Report onDone)
        : ConfirmPanelController(layoutName, std::move(doneText)), onCancel_(onCancel), onDone_(onDone) {
        declareOutlet("cancelButton", cancelButton_);
    }

private:
    std::function<void()> reportFor(Button button) const override {
        const Report report = button == Button::Cancel ? onCancel_ : onDone_;
        Delegate* d = delegate_;
        if (!report || !d) return nullptr;
        return [d, report] { (d->*report)(); };
    }

    std::shared_ptr<CancelButton> cancelButton_;
    Delegate* delegate_ = nullptr;
    Report onCancel_;
    Report onDone_;
};
