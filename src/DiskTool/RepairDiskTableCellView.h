#pragma once
// One row of the Disk Manager's volume table: a rounded card, white, or
// faintly blue on the selected row. Its subviews (icon, name, type, sizes,
// usage bar, the rename field and the buttons) come from the layout file
// "RepairDiskTableCellView" and are found by their class and identifier.
#include "kit/ui/Layout.h"
#include "kit/ui/TableView.h"

class RepairDiskTableCellView : public kit::TableCellView {
public:
    explicit RepairDiskTableCellView(const kit::Rect& frame = kit::Rect());

    bool isSelect() const { return isSelect_; }
    void setIsSelect(bool s) { isSelect_ = s; }

    // The card: at x 8 and the top of the cell, 696 x 48, corner radius 8.
    void drawRect(const kit::Rect& dirty) override;
    // The volume's name ("name") keeps its start and its end around an
    // ellipsis when it is too long for the row.
    void awakeFromNib() override;

private:
    bool isSelect_ = false;
};

KIT_REGISTER_VIEW(RepairDiskTableCellView);
