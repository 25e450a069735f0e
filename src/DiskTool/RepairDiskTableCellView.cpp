#include "DiskTool/RepairDiskTableCellView.h"

#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

RepairDiskTableCellView::RepairDiskTableCellView(const kit::Rect& frame) : kit::TableCellView(frame) {}

void RepairDiskTableCellView::drawRect(const kit::Rect& dirty) {
    kit::TableCellView::drawRect(dirty);
    (isSelect_ ? getColor(0, 113, 255, 0.08f) : getColor(255, 255, 255, 1)).setFill();
    // The card keeps its place whatever part of the cell is redrawn.
    kit::BezierPath::roundedRect(kit::Rect(8, bounds().y(), 696, 48), 8, 8).fill();
}
