#pragma once
// The About window: the product's name, version, a short introduction, the
// copyright line and a link to the product's page. Run modally by the
// application delegate; its texts come from its layout file.
#include <memory>
#include <string>

#include "kit/ui/Control.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

class TCImageWindow;

// A link's title: its cell draws a single underline under the text.
class TCLinkButtonCell : public kit::ButtonCell {
public:
    bool underlined() const { return underlined_; }
    void setUnderlined(bool on) { underlined_ = on; }
    kit::Rect drawTitle(const std::string& title, const kit::TextAttributes& attrs, const kit::Rect& frame,
                        kit::View& controlView) override;

private:
    bool underlined_ = false;
};

class TCPreferenceWindowController : public kit::WindowController {
public:
    explicit TCPreferenceWindowController(const std::string& layoutName = "TCPreferenceWindowController");
    ~TCPreferenceWindowController() override;

    void awakeFromNib() override;
    void windowDidLoad() override;
    void setAboutLink();
    void linkButtonAction(kit::Object* sender);
    void closeWindow(kit::Object* sender);

    TCImageWindow* aWindow() const { return aWindow_; }
    kit::View* titleBarView() const { return titleBarView_; }
    kit::Button* linkButton() const { return linkButton_.get(); }
    kit::TextField* name() const { return name_.get(); }
    kit::TextField* verson() const { return verson_.get(); }
    kit::TextField* Introduction() const { return Introduction_.get(); }
    kit::TextField* copyright() const { return copyright_.get(); }

private:
    TCImageWindow* aWindow_ = nullptr;
    kit::View* titleBarView_ = nullptr;
    std::shared_ptr<kit::Window> window_;
    std::shared_ptr<kit::TextField> titleLabel_, name_, verson_, Introduction_, copyright_;
    std::shared_ptr<kit::View> emilLine_, webLine_;
    std::shared_ptr<kit::Button> linkButton_;
};
