#pragma once
// The cells of tables: the header cell of a column, the three-state check
// box, and the registry through which layout files name cell classes.
//
// Cell-based columns draw one cell, the column's data cell, for every row:
// before each row the table sets the cell's value from the data source
// (setCellObjectValue), lets the delegate adjust it (willDisplayCell) and
// draws it into the row's part of the column. Cells draw into the table,
// which is flipped: y grows downwards inside a cell frame, and images and
// text come out upright.
#include <functional>
#include <memory>
#include <string>

#include "kit/Plist.h"
#include "kit/ui/Cell.h"

namespace kit {

// A column's header: its title on a light band with a separator line at the
// right and bottom edges.
class TableHeaderCell : public TextFieldCell {
public:
    TableHeaderCell();
    void drawWithFrame(const Rect& frame, View& controlView) override;
    // The sort indicator of a sorted column (a small triangle at the right).
    virtual void drawSortIndicatorWithFrame(const Rect& frame, View& controlView, bool ascending, long priority);
};

// A check box with three states (off, on, mixed). A click in a table moves
// it on (off and mixed become on, on becomes off) and hands the new state to
// the data source. With an image set it shows the image instead of drawing a
// box (the screens pass one image per state).
class CheckBoxCell : public ButtonCell {
public:
    CheckBoxCell();
    void drawWithFrame(const Rect& frame, View& controlView) override;
    bool allowsMixedState() const { return allowsMixed_; }
    void setAllowsMixedState(bool a) { allowsMixed_ = a; }
    // The state a click leads to.
    CellState nextState() const { return state() == CellState::On ? CellState::Off : CellState::On; }
    // The box, 14 points square, centred in the frame.
    Rect boxRectForFrame(const Rect& frame) const;
private:
    bool allowsMixed_ = true;
};

// Sets a cell from a data source's value: a check box (or any button cell)
// takes a number or boolean as its state (1 on, 0 off, -1 or 2 mixed);
// other cells show a string, or a number as text. A null value empties the
// text and turns a check box off.
void setCellObjectValue(Cell& cell, const Value& value);
// The value a cell stands for, the other way round.
Value cellObjectValue(const Cell& cell);

// Cell classes by name, for the "dataCell" of a column in a layout file: the
// kit's "TextFieldCell", "ImageCell", "CheckBoxCell", "TableHeaderCell" and
// every class registered with KIT_REGISTER_CELL.
using CellFactory = std::function<std::shared_ptr<Cell>()>;
bool registerCellClass(const std::string& name, CellFactory factory);
// nullptr for a name nobody registered.
std::shared_ptr<Cell> makeCellOfClass(const std::string& name);

}  // namespace kit

#define KIT_REGISTER_CELL(Cls)                                                                     \
    inline const bool kitRegisteredCell_##Cls =                                                   \
        ::kit::registerCellClass(#Cls, [] { return std::make_shared<Cls>(); })
