#pragma once
// The copy-mode box of the copy and disk-image screens: a filter icon, the
// mode's name ("Copy All Files" or "Copy Some Files"), an open button that
// asks the owner for the mode menu, and a search button, shown only for
// "Copy Some Files", that asks the owner to open the file browser.
#include <cstdint>
#include <memory>
#include <string>

#include "Comm/LComboBoxSubView.h"
#include "Comm/TCImageButton.h"
#include "kit/ui/Control.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

// Copy modes.
enum CopyMode : int32_t { CopyModeAllFiles = 0, CopyModeSomeFiles = 1 };

// The owner of the box.
class LComboBoxDelegate {
public:
    virtual ~LComboBoxDelegate() = default;
    // "Copy All Files" has just been shown.
    virtual void changeSelectCopyType() = 0;
    // The search button was pressed: open the file browser.
    virtual void doShowSearchView() = 0;
    // The box asks for its mode menu.
    virtual void showSelectAllVC() = 0;
};

class LComboBox : public kit::ViewController, public LComboBoxSubViewDelegate {
public:
    // Loads the view at once and becomes its root view's delegate.
    explicit LComboBox(const std::string& layoutName = "LComboBox");

    // Reset: icon, the given text, search button hidden, closed (the open
    // button disabled and wired to openMenu).
    void setStrLabelValue(const std::string& text);
    // Openable (true) or closed.
    void setlComboBoxEnde(bool canOpen);
    // A click on the box: opens the menu when openable.
    void doSelect() override;
    void openMenu();
    void searchButtonAction(kit::Object* sender);
    // Shows a mode: 0 "Copy All Files" (and tells the owner), any other
    // "Copy Some Files" with the search button.
    void changeSelectType(int32_t mode);
    // changeSelectType with the sender's tag.
    void selectIndex(kit::Object* sender);

    kit::TextField* strLabel() const { return strLabel_.get(); }
    void setStrLabel(std::shared_ptr<kit::TextField> l) { strLabel_ = std::move(l); }
    TCImageButton* openButton() const { return openButton_.get(); }
    void setOpenButton(std::shared_ptr<TCImageButton> b) { openButton_ = std::move(b); }
    kit::Button* searchButton() const { return searchButton_.get(); }
    void setSearchButton(std::shared_ptr<kit::Button> b) { searchButton_ = std::move(b); }
    kit::ImageView* iconImageView() const { return iconImageView_.get(); }
    void setIconImageView(std::shared_ptr<kit::ImageView> v) { iconImageView_ = std::move(v); }
    LComboBoxDelegate* lconboBoxDelegate() const { return delegate_; }
    void setLconboBoxDelegate(LComboBoxDelegate* d) { delegate_ = d; }
    bool isCanOpen() const { return isCanOpen_; }

private:
    std::shared_ptr<kit::TextField> strLabel_;
    std::shared_ptr<TCImageButton> openButton_;
    std::shared_ptr<kit::Button> searchButton_;
    std::shared_ptr<kit::ImageView> iconImageView_;
    bool isCanOpen_ = false;
    LComboBoxDelegate* delegate_ = nullptr;   // the owner; not owned
};
