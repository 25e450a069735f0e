#include "Comm/NewOutlineView.h"

#include "Comm/CustomHeaderCell.h"
#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

kit::Color NewOutlineView::rowColor() { return getColor(255, 255, 255, 1); }
kit::Color NewOutlineView::highlightColor() { return getColor(237, 243, 253, 1); }

NewOutlineView::NewOutlineView(const kit::Rect& frame) : kit::OutlineView(frame) {
    setSelectionHighlightStyle(kit::TableViewSelectionHighlightStyle::None);
    if (headerView()) headerView()->setFrameSize(kHeaderSize);
}

void NewOutlineView::awakeFromNib() {
    kit::OutlineView::awakeFromNib();
    _setupHeaderCell();
    if (headerView()) headerView()->setFrameSize(kHeaderSize);
}

void NewOutlineView::_setupHeaderCell() {
    for (auto& column : tableColumns()) column->setHeaderCell(CustomHeaderCell::initWithCell(*column->headerCell()));
}

void NewOutlineView::setRowNum(int64_t row) {
    if (row == rowNum_) return;
    int64_t old = rowNum_;
    rowNum_ = row;
    for (int64_t r : {old, row})
        if (r >= 0 && r < numberOfRows()) setNeedsDisplayInRect(rectOfRow(static_cast<long>(r)));
}

void NewOutlineView::drawRow(long row, const kit::Rect& clip) {
    setSelectionHighlightStyle(kit::TableViewSelectionHighlightStyle::None);
    kit::Rect r = rectOfRow(row);
    if (r.isEmpty()) return;
    (row == rowNum_ ? highlightColor() : rowColor()).setFill();
    kit::BezierPath::roundedRect(kit::Rect(r.x(), r.y(), 692, r.height()), 4, 4).fill();
    kit::OutlineView::drawRow(row, clip);
}

void NewOutlineView::rightMouseUp(kit::Event& e) {
    if (auto d = aDelegate()) d->listRightMouseDown(e);
}
