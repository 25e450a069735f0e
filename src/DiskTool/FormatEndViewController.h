#pragma once
// The end panel of a format: whether it worked, and "OK", which closes it.
#include <memory>
#include <string>

#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "DiskTool/DiskToolActions.h"
#include "kit/ui/TextField.h"

class FormatEndViewController : public StatusPanelController {
public:
    // The layout's text says the format worked; a failure replaces it.
    static constexpr const char* kFailureText = "Format failed. The volume could not be formatted.";

    explicit FormatEndViewController(const std::string& layoutName = "FormatEndViewController");

    // "OK" in the btn_pri look, usable, closing the panel.
    void awakeFromNib() override;
    // A volume renamed and then not formatted says so: the rename stays.
    static std::string failureTextFor(const FormatResult& result);

    // The outcome the panel reports (success until told otherwise).
    void setFormatResult(const FormatResult& result);
    bool formatSucceeded() const { return succeeded_; }
    // Closes the hosting window, when there is one.
    void closeWindow(kit::Object* sender = nullptr);

    TextImageButton* closeButton() const { return closeButton_.get(); }
    void setCloseButton(std::shared_ptr<TextImageButton> b) { closeButton_ = std::move(b); }
    kit::TextField* endLabel() const { return endLabel_.get(); }

private:
    std::shared_ptr<TextImageButton> closeButton_;
    std::shared_ptr<kit::TextField> endLabel_;
    std::string successText_;
    bool succeeded_ = true;
};
