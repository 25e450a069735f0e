#include "Comm/OVProgressView.h"

#include "Comm/ProgressPercent.h"

OVProgressView::OVProgressView(const kit::Rect& frame) : kit::View(frame) {
    bgProgress_ = std::make_shared<BgProgressView>(kit::Rect(0, 0, 436, 22));
    addSubview(bgProgress_);
    pProgress1_ = std::make_shared<NSProgressBar>(kit::Rect(0, 0, 0, 22));
    addSubview(pProgress1_);
}

void OVProgressView::changeProgressValue(float percent) {
    const float w = progressFillWidth(frame().width(), percent);
    pProgress1_->setFrame(kit::Rect(0, 0, w, 22));
    pProgress1_->setNeedsDisplay(true);
    setNeedsDisplay(true);
}
