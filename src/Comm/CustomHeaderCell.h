#pragma once
// The column header of the system's tables: the title in the 12-point system
// font, grey-blue at 80 %, on white; the sort indicator is drawn invisibly.
#include <memory>
#include <string>

#include "kit/ui/TableCells.h"

class CustomHeaderCell : public kit::TableHeaderCell {
public:
    CustomHeaderCell();
    // A header cell with the title of `cell` in this cell's font and colour.
    static std::shared_ptr<CustomHeaderCell> initWithCell(const kit::Cell& cell);

    // Puts the font and colour on the title again and returns it.
    std::string getStr();
    void drawWithFrame(const kit::Rect& frame, kit::View& controlView) override;
    void drawSortIndicatorWithFrame(const kit::Rect& frame, kit::View& controlView, bool ascending,
                                    long priority) override;
    void setSortAscending(bool ascending, long priority);
    bool ascending() const { return ascending_; }
    long priority() const { return priority_; }

    static kit::Font titleFont();
    static kit::Color titleColor();

private:
    bool ascending_ = true;
    long priority_ = 1;
};

KIT_REGISTER_CELL(CustomHeaderCell);
