#include "Comm/RFOverlayScrollView.h"

#include "Comm/RFOverlayScroller.h"
#include "kit/ui/TableView.h"

RFOverlayScrollView::RFOverlayScrollView(const kit::Rect& frame) : kit::ScrollView(frame) {
    headerOffset_ = tableHeaderOffsetFromSuperview();
    tile();
}

void RFOverlayScrollView::awakeFromNib() {
    kit::ScrollView::awakeFromNib();
    headerOffset_ = tableHeaderOffsetFromSuperview();
    tile();
}

long RFOverlayScrollView::tableHeaderOffsetFromSuperview() const {
    for (auto& sub : subviews()) {
        auto* clip = dynamic_cast<kit::ClipView*>(sub.get());
        if (!clip) continue;
        for (auto& inner : clip->subviews()) {
            auto* table = dynamic_cast<kit::TableView*>(inner.get());
            if (!table) continue;
            kit::View* header = table->headerView();
            return header ? static_cast<long>(header->frame().height()) : 0;
        }
    }
    return 0;
}

void RFOverlayScrollView::tile() {
    {
        // The scroller takes no width while the content is laid out.
        RFOverlayScroller::ZeroWidthScope zero;
        kit::ScrollView::tile();
    }
    if (kit::Scroller* s = verticalScroller()) {
        const kit::Rect b = bounds();
        double w = RFOverlayScroller::scrollerWidthForControlSize(s->controlSize(), s->scrollerStyle());
        double offset = static_cast<double>(headerOffset_);
        s->setFrame(kit::Rect(b.width() - w, offset, w, b.height() - offset));
    }
    kit::sortSubviews(*this, [](const kit::View& a, const kit::View& b) {
        return !dynamic_cast<const RFOverlayScroller*>(&a) && dynamic_cast<const RFOverlayScroller*>(&b);
    });
}
