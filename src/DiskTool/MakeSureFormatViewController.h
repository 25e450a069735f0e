#pragma once
// The format confirmation laid over the main window: "Format '<name>'?", the
// warning, the new name (editable once the panel is up), the file-system type
// with its menu, "Continue" and "Cancel". An APFS volume keeps its type: the
// type shows grey, without the arrow, and its button does nothing.
//
// The type menu closes 3 s after it opened unless the pointer entered it;
// once entered, when the pointer leaves it; a choice closes it at once (see
// TimedMenuClose). Closing the confirmation closes its menu first, so no
// timer of the menu ever acts on a confirmation that has gone.
#include <cstdint>
#include <memory>
#include <string>

#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "Comm/TimedMenuClose.h"
#include "DiskTool/FormatTypeVCDelegate.h"
#include "DiskTool/FormatTypeViewController.h"
#include "DiskTool/MakeSureFormatVCDelegate.h"
#include "kit/ui/Control.h"
#include "kit/ui/DelegateRef.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/TextField.h"

class RMAAttachedWindow;

class MakeSureFormatViewController : public StatusPanelController, public FormatTypeVCDelegate {
public:
    // Where the type menu points, in the hosting window's coordinates; the
    // menu lies above it.
    static constexpr kit::Point kMenuPoint{516, 105};

    explicit MakeSureFormatViewController(const std::string& layoutName = "MakeSureFormatViewController");
    ~MakeSureFormatViewController() override;

    // "Continue" (btn_pri) and "Cancel" (btn_sec), usable.
    void awakeFromNib() override;
    // The volume's name and its type text as the disk tool names it.
    void setName(const std::string& name, const std::string& setType);
    // The name field becomes editable (on the main queue).
    void chengTextStart();
    void okButtonAction(kit::Object* sender);
    void noButtonAction(kit::Object* sender);
    // Closes the menu, then the hosting window, when there is one.
    void closeWindow();
    void openMenuAction(kit::Object* sender);
    void selectFormatbyType(int32_t type) override;
    void mouseEixtView(bool left) override;
    // Closes the type menu now; nothing when it is not open.
    void closeMattachedWindow();

    // Whether the type menu is open.
    bool isPopSortWin() const { return menuClose_.isOpen(); }
    const TimedMenuClose& menuClose() const { return menuClose_; }
    FormatTypeViewController* formatTypeVC() const { return formatTypeVC_.get(); }
    const std::shared_ptr<RMAAttachedWindow>& sortAttachedWindow() const { return sortAttachedWindow_; }

    TextImageButton* okButton() const { return okButton_.get(); }
    void setOkButton(std::shared_ptr<TextImageButton> b) { okButton_ = std::move(b); }
    TextImageButton* noButton() const { return noButton_.get(); }
    void setNoButton(std::shared_ptr<TextImageButton> b) { noButton_ = std::move(b); }
    kit::TextField* nameTextFiled() const { return nameTextFiled_.get(); }
    void setNameTextFiled(std::shared_ptr<kit::TextField> f) { nameTextFiled_ = std::move(f); }
    kit::TextField* typeLabel() const { return typeLabel_.get(); }
    void setTypeLabel(std::shared_ptr<kit::TextField> f) { typeLabel_ = std::move(f); }
    kit::TextField* nodeLabel() const { return nodeLabel_.get(); }
    void setNodeLabel(std::shared_ptr<kit::TextField> f) { nodeLabel_ = std::move(f); }
    kit::TextField* nameLabel() const { return nameLabel_.get(); }
    void setNameLabel(std::shared_ptr<kit::TextField> f) { nameLabel_ = std::move(f); }
    kit::Button* typeSelectBut() const { return typeSelectBut_.get(); }
    void setTypeSelectBut(std::shared_ptr<kit::Button> b) { typeSelectBut_ = std::move(b); }
    kit::ImageView* openImageV() const { return openImageV_.get(); }
    void setOpenImageV(std::shared_ptr<kit::ImageView> v) { openImageV_ = std::move(v); }
    kit::View* formatView() const { return formatView_.get(); }
    kit::View* makeSureView() const { return makeSureView_.get(); }
    kit::ProgressIndicator* loading() const { return loading_.get(); }
    // Not kept: the page outlives its panels or is gone, and then hears nothing.
    MakeSureFormatVCDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(MakeSureFormatVCDelegate* d) { delegate_ = d; }

private:
    // Takes a menu and its window off the screen (main queue, next turn).
    void closeMenuWindow(std::shared_ptr<FormatTypeViewController> menu, std::shared_ptr<RMAAttachedWindow> window);

    std::shared_ptr<TextImageButton> okButton_, noButton_;
    std::shared_ptr<kit::TextField> nameTextFiled_, typeLabel_, nodeLabel_, nameLabel_;
    std::shared_ptr<kit::Button> typeSelectBut_;
    std::shared_ptr<kit::ImageView> openImageV_;
    std::shared_ptr<kit::View> formatView_, makeSureView_;
    std::shared_ptr<kit::ProgressIndicator> loading_;
    std::shared_ptr<FormatTypeViewController> formatTypeVC_;
    std::shared_ptr<RMAAttachedWindow> sortAttachedWindow_;
    kit::DelegateRef<MakeSureFormatVCDelegate> delegate_;
    TimedMenuClose menuClose_;
};
