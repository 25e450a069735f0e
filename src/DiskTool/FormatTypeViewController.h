#pragma once
// The file-system type menu of the format confirmation: four rows, one per
// type of the table below. A row's label turns white under the pointer; a
// click hands the row's index to the confirmation; entering and leaving the
// menu are reported so that the confirmation can close it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "Comm/SortSelectBgView.h"
#include "DiskTool/FormatTypeVCDelegate.h"
#include "kit/ui/DelegateRef.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

// Index -> the type text given to the disk tool; nullptr outside 0 to 3.
const char* formatTypeText(int32_t index);

class FormatTypeViewController : public kit::ViewController, public SortSelectBgViewDelegate {
public:
    static constexpr int kTypeCount = 4;

    explicit FormatTypeViewController(const std::string& layoutName = "FormatTypeViewController");

    // The rows report to the menu; one area over the menu view reports
    // entering, leaving and moves, whether or not the application is active.
    void awakeFromNib() override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void selectSortType(SortSelectBgView* row) override;
    // Inside with a row's tag: that row's label white. Outside: all plain.
    void mouseInView(bool inside, int tag) override;

    SortSelectBgView* view_1() const { return views_[0].get(); }
    SortSelectBgView* view_2() const { return views_[1].get(); }
    SortSelectBgView* view_3() const { return views_[2].get(); }
    SortSelectBgView* view_4() const { return views_[3].get(); }
    kit::TextField* label_1() const { return labels_[0].get(); }
    kit::TextField* label_2() const { return labels_[1].get(); }
    kit::TextField* label_3() const { return labels_[2].get(); }
    kit::TextField* label_4() const { return labels_[3].get(); }
    // The row of an index (0 to 3), for the owner and tests.
    SortSelectBgView* row(int index) const;
    kit::TextField* label(int index) const;
    // Not kept: the confirmation outlives its menu.
    FormatTypeVCDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(FormatTypeVCDelegate* d) { delegate_ = d; }

private:
    std::array<std::shared_ptr<SortSelectBgView>, kTypeCount> views_;
    std::array<std::shared_ptr<kit::TextField>, kTypeCount> labels_;
    kit::DelegateRef<FormatTypeVCDelegate> delegate_;
    std::shared_ptr<kit::TrackingArea> area_;
};
