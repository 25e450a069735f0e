#include "DiskTool/FormatTypeViewController.h"

#include "Comm/MenuPointerArea.h"
#include "Comm/getColor.h"

namespace {
constexpr const char* kTypes[FormatTypeViewController::kTypeCount] = {"ExFAT", "MS-DOS FAT32", "Journaled HFS+",
                                                                      "APFS"};
}  // namespace

const char* formatTypeText(int32_t index) {
    return index >= 0 && index < FormatTypeViewController::kTypeCount ? kTypes[index] : nullptr;
}

FormatTypeViewController::FormatTypeViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    for (int i = 0; i < kTypeCount; ++i) {
        declareOutlet("view_" + std::to_string(i + 1), views_[size_t(i)]);
        declareOutlet("label_" + std::to_string(i + 1), labels_[size_t(i)]);
    }
}

SortSelectBgView* FormatTypeViewController::row(int index) const {
    return index >= 0 && index < kTypeCount ? views_[size_t(index)].get() : nullptr;
}

kit::TextField* FormatTypeViewController::label(int index) const {
    return index >= 0 && index < kTypeCount ? labels_[size_t(index)].get() : nullptr;
}

void FormatTypeViewController::awakeFromNib() {
    for (auto& v : views_) v->setDelegate(this);
    addMenuPointerArea(view(), this, area_);
}

void FormatTypeViewController::mouseEntered(kit::Event&) {
    if (FormatTypeVCDelegate* d = delegate()) d->mouseEixtView(false);
}

void FormatTypeViewController::mouseExited(kit::Event&) {
    if (FormatTypeVCDelegate* d = delegate()) d->mouseEixtView(true);
}

void FormatTypeViewController::selectSortType(SortSelectBgView* r) {
    if (FormatTypeVCDelegate* d = delegate(); d && r) d->selectFormatbyType(r->rowTag());
}

void FormatTypeViewController::mouseInView(bool inside, int tag) {
    if (inside) {
        if (kit::TextField* l = label(tag)) l->setTextColor(getColor(255, 255, 255, 1));
        return;
    }
    for (auto& l : labels_) l->setTextColor(getColor(79, 79, 98, 1));
}
