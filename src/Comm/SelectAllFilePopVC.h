#pragma once
// The copy-mode menu: two rows, "Copy All Files" (tag 0) and "Copy Some
// Files" (tag 1). A row's label turns white under the pointer; a click hands
// the row's tag to the owner; entering and leaving the menu are reported so
// that the owner can close it (see TimedMenuClose).
#include <cstdint>
#include <memory>
#include <string>

#include "Comm/SortSelectBgView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

class SelectAllFileVCDelegate {
public:
    virtual ~SelectAllFileVCDelegate() = default;
    // true: the pointer left the menu; false: it entered.
    virtual void mouseEixtView(bool left) = 0;
    // The chosen row's tag.
    virtual void selectFormatbyType(int32_t type) = 0;
};

class SelectAllFilePopVC : public kit::ViewController, public SortSelectBgViewDelegate {
public:
    explicit SelectAllFilePopVC(const std::string& layoutName = "SelectAllFilePopVC");

    // The rows report to the menu; one area over the menu view reports entering and leaving.
    void awakeFromNib() override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void selectSortType(SortSelectBgView* row) override;
    void mouseInView(bool inside, int tag) override;

    SortSelectBgView* view_1() const { return view_1_.get(); }
    SortSelectBgView* view_2() const { return view_2_.get(); }
    kit::TextField* label_1() const { return label_1_.get(); }
    kit::TextField* label_2() const { return label_2_.get(); }
    void setView_1(std::shared_ptr<SortSelectBgView> v) { view_1_ = std::move(v); }
    void setView_2(std::shared_ptr<SortSelectBgView> v) { view_2_ = std::move(v); }
    void setLabel_1(std::shared_ptr<kit::TextField> l) { label_1_ = std::move(l); }
    void setLabel_2(std::shared_ptr<kit::TextField> l) { label_2_ = std::move(l); }
    // The owner, which keeps the menu while it is shown; not owned.
    SelectAllFileVCDelegate* delegate() const { return delegate_; }
    void setDelegate(SelectAllFileVCDelegate* d) { delegate_ = d; }

private:
    std::shared_ptr<SortSelectBgView> view_1_, view_2_;
    std::shared_ptr<kit::TextField> label_1_, label_2_;
    SelectAllFileVCDelegate* delegate_ = nullptr;
    std::shared_ptr<kit::TrackingArea> area_;
};
