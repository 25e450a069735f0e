#include "Comm/LComboBoxSubView.h"

LComboBoxSubView::LComboBoxSubView(const kit::Rect& frame) : kit::View(frame) {}

void LComboBoxSubView::mouseDown(kit::Event&) {
    if (delegate_) delegate_->doSelect();
}
