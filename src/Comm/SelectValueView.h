#pragma once
// The drive slot: the card that stands for the source or the destination of a
// feature screen. It shows a background that follows its state, reports every
// click, clear and file drop to its owner with its slot id, and turns dropped
// paths into file-tree nodes. The owner fills the labels and the drive
// button and tells the slot whether it holds a choice and whether to show the
// error look.
//
//   auto slot = std::make_shared<SelectValueView>();
//   slot->setDiskFrom(SlotIdSource);
//   slot->setDelegate(this);
//   hostView->addSubview(slot->viewPtr());
//
// Backgrounds: "source" (empty), "source_hover" (empty, pointer inside),
// "source_sel" (holding a choice), "source_sel_error" (the error look). A
// slot made non-interactive (setIsCanSelect(false)) reports and changes
// nothing but the select-file action.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Comm/DragView.h"
#include "Comm/SelectBgView.h"
#include "Comm/SizeView.h"
#include "Comm/TCImageButton.h"
#include "Disk/FileNode.h"
#include "kit/ui/Control.h"
#include "kit/ui/DelegateRef.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

enum SlotId : int { SlotIdSource = 1, SlotIdDestination = 2 };

// What a slot tells its owner. Every operation is optional.
class SelectValueViewDelegate {
public:
    virtual ~SelectValueViewDelegate() = default;
    // A click on the card or on the drive button: the slot id, and the drive
    // button (the anchor for the drive popover).
    virtual void selectDiskButton(int slotId, kit::View* withID) {}
    virtual void closeDiskValue(int slotId) {}
    // The nodes made from a drop, in the order of the dropped paths.
    virtual void viewDragAction(const std::vector<FileNode::Ptr>& nodes) {}
    virtual void selectFileButtonAction(kit::Object* sender) {}
};

class SelectValueView : public kit::ViewController, public DragViewDelegate, public SelectBgViewDelegate {
public:
    SelectValueView();
    void awakeFromNib() override;

    // ---- outlets ----
    SizeView* proSizeView() const { return proSizeView_.get(); }
    void setProSizeView(std::shared_ptr<SizeView> v) { proSizeView_ = std::move(v); }
    kit::TextField* nameLabel() const { return nameLabel_.get(); }
    void setNameLabel(std::shared_ptr<kit::TextField> v) { nameLabel_ = std::move(v); }
    kit::TextField* sizeLabel() const { return sizeLabel_.get(); }
    void setSizeLabel(std::shared_ptr<kit::TextField> v) { sizeLabel_ = std::move(v); }
    kit::TextField* nodeSelectLabel() const { return nodeSelectLabel_.get(); }
    void setNodeSelectLabel(std::shared_ptr<kit::TextField> v) { nodeSelectLabel_ = std::move(v); }
    kit::Button* selectDiskBut() const { return selectDiskBut_.get(); }
    void setSelectDiskBut(std::shared_ptr<kit::Button> v) { selectDiskBut_ = std::move(v); }
    TCImageButton* closeDisk() const { return closeDisk_.get(); }
    void setCloseDisk(std::shared_ptr<TCImageButton> v) { closeDisk_ = std::move(v); }
    DragView* dragVie() const { return dragVie_.get(); }
    void setDragVie(std::shared_ptr<DragView> v) { dragVie_ = std::move(v); }
    kit::ImageView* bgImageView() const { return bgImageView_.get(); }
    void setBgImageView(std::shared_ptr<kit::ImageView> v) { bgImageView_ = std::move(v); }
    kit::Button* nameButton() const { return nameButton_.get(); }
    void setNameButton(std::shared_ptr<kit::Button> v) { nameButton_ = std::move(v); }
    // The open icon placed by setOpenIconP, or nullptr.
    kit::ImageView* openIconView() const { return imageView_.get(); }

    // ---- state ----
    int diskFrom() const { return diskFrom_; }
    void setDiskFrom(int slotId) { diskFrom_ = slotId; }
    bool isHaveD() const { return isHaveD_; }
    void setIsHaveD(bool have) { isHaveD_ = have; }
    bool isCanSelect() const { return isCanSelect_; }
    void setIsCanSelect(bool can) { isCanSelect_ = can; }
    // Not kept.
    SelectValueViewDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(SelectValueViewDelegate* d) { delegate_ = d; }

    // ---- actions and reports ----
    void selectDiskButton(kit::Object* sender);
    void openMenuButtonAction(kit::Object* sender) { selectDiskButton(sender); }
    void mouseDownAction() override;
    void closeDiskValue(kit::Object* sender);
    void viewDragAction(const std::vector<std::string>& paths) override;
    void selectFileButtonAction(kit::Object* sender) override;
    void mouseInSelectBgView(bool inside) override;
    void changeBgImageViewWithError(bool error);
    void changeViewRect(bool) {}
    void setOpenIcon() {}
    void setOpenIconP();

    // Dropped paths as nodes: skip-listed names left out, folders as one node
    // of size 0, files with their size, in the order given.
    std::vector<FileNode::Ptr> eumeArr(const std::vector<std::string>& paths) const;
    // The file's content length in bytes; 0 when it can't be read.
    static uint64_t getOneFileSizeWithPath(const std::string& path);
    // The path as a file-system reference; nullopt when nothing is there.
    static std::optional<std::filesystem::path> fsrefWithString(const std::string& path);

private:
    void showBackground(const char* name);

    std::shared_ptr<SizeView> proSizeView_;
    std::shared_ptr<kit::TextField> nameLabel_, sizeLabel_, nodeSelectLabel_;
    std::shared_ptr<kit::Button> selectDiskBut_;
    std::shared_ptr<TCImageButton> closeDisk_;
    std::shared_ptr<DragView> dragVie_;
    int diskFrom_ = 0;
    std::shared_ptr<kit::ImageView> imageView_;
    bool isHaveD_ = false;
    std::shared_ptr<kit::ImageView> bgImageView_;
    std::shared_ptr<kit::Button> nameButton_;
    bool isCanSelect_ = true;
    kit::DelegateRef<SelectValueViewDelegate> delegate_;
    std::shared_ptr<SelectBgView> root_;
};
