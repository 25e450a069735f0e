#include "Comm/NewButton.h"

#include <atomic>
#include <cmath>

#include "kit/ui/View.h"

namespace {
std::atomic<int> gClickBlock{0};

// The block is lifted by an object that lives as long as the process, so a
// cell destroyed within the 0.2 s cannot leave clicks blocked for good.
kit::Object& blockClock() {
    static kit::Object* clock = new kit::Object();
    return *clock;
}
}  // namespace

bool NewButton::clicksBlocked() { return gClickBlock.load() > 0; }

kit::Rect NewButton::titleRectForBounds(const kit::Rect& f) const {
    if (!label_) return kit::Rect();
    return kit::Rect(f.x() + (iconImageCell_ ? 35 : 10), f.y() + std::ceil((f.height() - 22) / 2), 800, 22);
}

kit::Rect NewButton::imageRectForBounds(const kit::Rect& f) const {
    if (!iconImageCell_) return kit::Rect();
    return kit::Rect(f.x() + 17, f.y() + std::ceil((f.height() - 18) / 2), 18, 18);
}

void NewButton::drawWithFrame(const kit::Rect& frame, kit::View& view) {
    if (iconImageCell_) iconImageCell_->drawWithFrame(imageRectForBounds(frame), view);
    if (label_) {
        label_->drawWithFrame(titleRectForBounds(frame), view);
        label_->setEditable(false);
    }
    kit::ButtonCell::drawWithFrame(frame, view);
}

unsigned NewButton::hitTestForEvent(const kit::Event& e, const kit::Rect& cellFrame, kit::View& view) {
    kit::Point p = view.convertPointFromView(e.locationInWindow, nullptr);
    kit::Rect hot(cellFrame.origin, kit::Size{15, 30});
    if (!kit::pointInRect(p, hot) || clicksBlocked()) return kit::CellHitNone;
    // Worked out before the delegate runs: it may drop this cell.
    const unsigned hit = kit::ButtonCell::hitTestForEvent(e, cellFrame, view) | kit::CellHitTrackableArea;
    ++gClickBlock;
    blockClock().performAfterDelay(0.2, [] { gClickBlock = 0; });
    if (delegate_) delegate_->clickButtonAction(*this);
    return hit;
}

void NewButton::changeVlaue(kit::Object*) { gClickBlock = 0; }

std::shared_ptr<NewButton> NewButton::copy() const {
    auto c = std::make_shared<NewButton>();
    c->label_ = label_;
    c->iconImageCell_ = iconImageCell_;
    c->name_ = name_;
    c->delegate_ = delegate_;
    c->setTitle(title());
    c->setImage(image());
    return c;
}
