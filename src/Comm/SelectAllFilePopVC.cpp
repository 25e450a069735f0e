#include "Comm/SelectAllFilePopVC.h"

#include "Comm/MenuPointerArea.h"
#include "Comm/getColor.h"

SelectAllFilePopVC::SelectAllFilePopVC(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("view_1", view_1_);
    declareOutlet("view_2", view_2_);
    declareOutlet("label_1", label_1_);
    declareOutlet("label_2", label_2_);
}

void SelectAllFilePopVC::awakeFromNib() {
    view_1_->setDelegate(this);
    view_2_->setDelegate(this);
    addMenuPointerArea(view(), this, area_);
}

void SelectAllFilePopVC::mouseEntered(kit::Event&) {
    if (delegate_) delegate_->mouseEixtView(false);
}

void SelectAllFilePopVC::mouseExited(kit::Event&) {
    if (delegate_) delegate_->mouseEixtView(true);
}

void SelectAllFilePopVC::selectSortType(SortSelectBgView* row) {
    if (delegate_ && row) delegate_->selectFormatbyType(row->rowTag());
}

void SelectAllFilePopVC::mouseInView(bool inside, int tag) {
    const kit::Color white = getColor(255, 255, 255, 1);
    if (inside) {
        if (tag == 0) label_1_->setTextColor(white);
        else if (tag == 1) label_2_->setTextColor(white);
        return;
    }
    const kit::Color plain = getColor(79, 79, 98, 1);
    label_1_->setTextColor(plain);
    label_2_->setTextColor(plain);
}
