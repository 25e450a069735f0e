#pragma once
// The message panel: one label with the message and a "Done" button that
// closes the status window hosting it. Shown with showStatusPanel; each
// message gets a new controller and a new window.
#include <memory>
#include <optional>
#include <string>

#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/TextField.h"

class ErrorWindowController : public StatusPanelController {
public:
    explicit ErrorWindowController(const std::string& layoutName = "ErrorWindowController");

    // "Done" in the "btn_sec" look, usable from the start.
    void awakeFromNib() override;
    // The message; one given before the view is loaded shows once it is.
    void changeErrorLabelStr(const std::string& text);
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender);
    void okButtonAction(kit::Object* sender);

    kit::TextField* errorLabel() const { return errorLabel_.get(); }
    void setErrorLabel(std::shared_ptr<kit::TextField> label) { errorLabel_ = std::move(label); }
    TextImageButton* okButton() const { return okButton_.get(); }
    void setOkButton(std::shared_ptr<TextImageButton> button) { okButton_ = std::move(button); }

private:
    std::shared_ptr<kit::TextField> errorLabel_;
    std::shared_ptr<TextImageButton> okButton_;
    std::optional<std::string> pendingText_;
};
