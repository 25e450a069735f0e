#include "Comm/CustomTableView.h"

#include "Comm/CustomHeaderCell.h"
#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

kit::Color CustomTableView::rowColor() { return getColor(50, 50, 61, 1); }
kit::Color CustomTableView::highlightColor() { return getColor(255, 255, 255, 0.1f); }

CustomTableView::CustomTableView(const kit::Rect& frame) : kit::TableView(frame) {
    setSelectionHighlightStyle(kit::TableViewSelectionHighlightStyle::None);
    if (headerView()) headerView()->setFrameSize(kHeaderSize);
}

void CustomTableView::awakeFromNib() {
    kit::TableView::awakeFromNib();
    _setupHeaderCell();
    if (headerView()) headerView()->setFrameSize(kHeaderSize);
}

void CustomTableView::_setupHeaderCell() {
    for (auto& column : tableColumns()) column->setHeaderCell(CustomHeaderCell::initWithCell(*column->headerCell()));
}

void CustomTableView::setSelectNum(int row) {
    rowNum_ = row;
    setNeedsDisplay();
}

void CustomTableView::drawRow(long row, const kit::Rect& clip) {
    setSelectionHighlightStyle(kit::TableViewSelectionHighlightStyle::None);
    kit::Rect r = rectOfRow(row);
    if (r.isEmpty()) return;
    (row == rowNum_ ? highlightColor() : rowColor()).set();
    kit::BezierPath::roundedRect(kit::Rect(8, r.y(), 675, 48), 8, 8).fill();
    kit::TableView::drawRow(row, clip);
}

void CustomTableView::rightMouseDown(kit::Event& e) {
    if (auto d = listDelegate()) d->listRightMouseDown(e);
}
