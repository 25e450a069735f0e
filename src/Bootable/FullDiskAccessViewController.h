#pragma once
// The small modal window behind the clone screen's "Check": it explains that
// cloning the running system needs Full Disk Access, and its button opens the
// settings pane where the user grants it. Its close button and its settings
// button both close the window, which ends its modal run.
#include <memory>
#include <string>

#include "Comm/TCImageWindow.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

class FullDiskAccessViewController : public kit::WindowController {
public:
    explicit FullDiskAccessViewController(const std::string& layoutName = "FullDiskAccessViewController");

    void awakeFromNib() override;
    void windowDidLoad() override;
    // Closes the window; its modal run ends with it.
    void closeWindow();
    // Opens the settings pane at Full Disk Access (10.14 and later), then closes.
    void openSetView(kit::Object* sender);

    kit::TextField* titleLabel() const { return titleLabel_.get(); }
    kit::TextField* textLabel() const { return textLabel_.get(); }
    TextImageButton* openButton() const { return openButton_.get(); }
    // Whether the settings pane was asked for by the last button click.
    bool openedSettings() const { return openedSettings_; }

private:
    std::shared_ptr<kit::Window> window_;
    std::shared_ptr<kit::TextField> titleLabel_, textLabel_;
    std::shared_ptr<TextImageButton> openButton_;
    bool openedSettings_ = false;
};
