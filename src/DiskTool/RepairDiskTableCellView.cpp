#include "DiskTool/RepairDiskTableCellView.h"

#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/TextField.h"

RepairDiskTableCellView::RepairDiskTableCellView(const kit::Rect& frame) : kit::TableCellView(frame) {}

void RepairDiskTableCellView::awakeFromNib() {
    kit::TableCellView::awakeFromNib();
    for (const auto& v : subviews())
        if (auto* name = dynamic_cast<kit::TextField*>(v.get()); name && name->identifier() == "name")
            name->setLineBreakMode(kit::LineBreakMode::TruncatingMiddle);
}

void RepairDiskTableCellView::drawRect(const kit::Rect& dirty) {
    kit::TableCellView::drawRect(dirty);
    (isSelect_ ? getColor(0, 113, 255, 0.08f) : getColor(255, 255, 255, 1)).setFill();
    // The card keeps its place whatever part of the cell is redrawn.
    kit::BezierPath::roundedRect(kit::Rect(8, bounds().y(), 696, 48), 8, 8).fill();
}
