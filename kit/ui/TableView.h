#pragma once
// Tables: rows of a data source in columns, inside a scroll view.
//
//   TableView (flipped; the scroll view's document view)
//   ├── cell views of the visible rows (view-based columns only)
//   └── header view: shown by the scroll view above the rows (ScrollDocument)
//
// The vocabulary is the platform's. A data source gives the number of rows
// and the object value of a column in a row (and takes a new value when a
// check box is clicked); a delegate adjusts cells before they draw
// (willDisplayCell), gives row heights, views for view-based columns, and
// hears about selection. Every operation has a default body: a delegate
// overrides only what it answers.
//
// Two kinds of columns, decided per row by the delegate:
// - cell-based: viewForTableColumn() answers nullptr; the column's data cell
//   draws the row (text, image, image and text, a three-state check box);
// - view-based: viewForTableColumn() answers a view, normally from
//   makeViewWithIdentifier(), which reuses a view that scrolled out of sight
//   or makes one from the layout registered for the identifier. Views exist
//   only for the rows in sight (a 10,000-row table holds a screenful).
//
//   table->addTableColumn(std::make_shared<kit::TableColumn>("Name"));
//   table->setDataSource(&model);      // not owned: it outlives the table or is reset first
//   table->setDelegate(&controller);
//   scrollView->setDocumentView(table);
//   table->reloadData();
//
// Geometry (flipped, in the table's bounds): row r spans rectOfRow(r), its
// height the delegate's heightOfRow (or rowHeight()) plus the intercell
// spacing's height; column c spans rectOfColumn(c); a cell is their
// intersection less the spacing (frameOfCellAtColumn). The table is at least
// as tall as its clip view and as wide as its columns or the clip view
// (the last column takes up the difference unless column autoresizing is
// off).
//
// Events: a left press selects its row (when shouldSelectRow agrees) and
// clicks a check box under it; the up and down arrow keys move the
// selection; a click on the header changes nothing. Right presses and
// pressure events go up the responder chain unless a subclass takes them.
// Drawing: drawBackgroundInClipRect(), then drawRow() for each row in the
// dirty area: the selection highlight (unless the highlight style is none)
// and the cells of the cell-based columns. Subclasses draw their own rows
// there.
//
// Layout files: { "class": "TableView", "frame": [...], "rowHeight": 48,
//   "intercellSpacing": [0, 0], "headerHeight": 25 (0: no header view),
//   "selectionHighlightStyle": "none" | "regular", "backgroundColor": [...],
//   "usesAlternatingRowBackgroundColors": true, "columnAutoresizing": "none" | "lastColumnOnly",
//   "cellLayouts": { "identifier": "LayoutFileName" },
//   "columns": [ { "identifier": "Name", "title": "Name", "width": 200, "minWidth": 40,
//                  "maxWidth": 1000, "resizing": "none" | "autoresizing" | "user" | "both",
//                  "editable": true, "hidden": false,
//                  "dataCell": "TextFieldCell" | "CheckBoxCell" | any registered cell class } ] }
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/ui/Cell.h"
#include "kit/ui/Color.h"
#include "kit/ui/Layout.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/TableCells.h"
#include "kit/ui/View.h"

namespace kit {

class TableView;
class TableHeaderView;

enum TableColumnResizingMask : unsigned {
    TableColumnNoResizing = 0,
    TableColumnAutoresizingMask = 1,   // follows the table's width
    TableColumnUserResizingMask = 2,   // dragged at its header's right edge
};

enum class TableViewSelectionHighlightStyle { None = -1, Regular = 0 };
enum class TableViewColumnAutoresizingStyle { None = 0, LastColumnOnly = 4 };

class TableColumn : public Object {
public:
    explicit TableColumn(const std::string& identifier = "");

    const std::string& identifier() const { return identifier_; }
    void setIdentifier(const std::string& s) { identifier_ = s; }
    // The header cell's text.
    std::string title() const { return headerCell_ ? headerCell_->stringValue() : std::string(); }
    void setTitle(const std::string& t);
    double width() const { return width_; }
    // Kept between the minimum and maximum width; the table lays out again.
    void setWidth(double w);
    double minWidth() const { return minWidth_; }
    void setMinWidth(double w);
    double maxWidth() const { return maxWidth_; }
    void setMaxWidth(double w);
    unsigned resizingMask() const { return resizingMask_; }
    void setResizingMask(unsigned m) { resizingMask_ = m; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool h);
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }

    // Replaceable; a column always has one (a TableHeaderCell to begin with).
    Cell* headerCell() const { return headerCell_.get(); }
    std::shared_ptr<Cell> headerCellPtr() const { return headerCell_; }
    void setHeaderCell(std::shared_ptr<Cell> c);
    // The cell that draws this column's rows (a text cell to begin with).
    Cell* dataCell() const { return dataCell_.get(); }
    void setDataCell(std::shared_ptr<Cell> c);
    // The sort indicator the header shows, if any.
    std::optional<bool> sortIndicatorAscending() const { return sortAscending_; }
    void setSortIndicatorAscending(std::optional<bool> a);

    TableView* tableView() const { return table_.get(); }

private:
    friend class TableView;
    std::string identifier_;
    double width_ = 100, minWidth_ = 10, maxWidth_ = 100000;
    unsigned resizingMask_ = TableColumnAutoresizingMask | TableColumnUserResizingMask;
    bool hidden_ = false, editable_ = true;
    std::shared_ptr<Cell> headerCell_;
    std::shared_ptr<Cell> dataCell_;
    std::optional<bool> sortAscending_;
    Weak<TableView> table_;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual long numberOfRowsInTableView(TableView& table) { return 0; }
    virtual Value objectValueForTableColumn(TableView& table, TableColumn* column, long row) { return Value(); }
    // A check box clicked: `value` is its new state (1 on, 0 off).
    virtual void setObjectValue(TableView& table, const Value& value, TableColumn* column, long row) {}
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    virtual void willDisplayCell(TableView& table, Cell& cell, TableColumn* column, long row) {}
    // A view for a view-based column (see makeViewWithIdentifier); nullptr
    // draws the column's cell instead.
    virtual std::shared_ptr<View> viewForTableColumn(TableView& table, TableColumn* column, long row) {
        return nullptr;
    }
    // 0 or less: the table's rowHeight().
    virtual double heightOfRow(TableView& table, long row) { return 0; }
    virtual bool shouldSelectRow(TableView& table, long row) { return true; }
    virtual void selectionDidChange(TableView& table) {}
};

// A view-based column's cell view (the platform's table cell view): an
// object value and optional text field and image view, which it finds
// among its subviews when the layout file does not say.
class TableCellView : public View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
    const Value& objectValue() const { return objectValue_; }
    virtual void setObjectValue(const Value& v) { objectValue_ = v; }
    View* textField() const;
    View* imageView() const;
private:
    Value objectValue_;
};

class TableHeaderView : public View {
public:
    explicit TableHeaderView(const Rect& frame = Rect());
    bool isFlipped() const override { return true; }
    TableView* tableView() const { return table_.get(); }
    void setTableView(TableView* t) { table_ = Weak<TableView>(t); }
    // The header of column `col` in this view's coordinates.
    Rect headerRectOfColumn(long col) const;
    long columnAtPoint(Point p) const;
    void drawRect(const Rect& dirty) override;
    void mouseDown(Event& e) override;
    void mouseDragged(Event& e) override;
    void mouseUp(Event& e) override;
private:
    Weak<TableView> table_;
    long resizing_ = -1;
    double resizeStartX_ = 0, resizeStartWidth_ = 0;
};

class TableView : public View, public ScrollDocument {
public:
    explicit TableView(const Rect& frame = Rect());
    ~TableView() override;
    bool isFlipped() const override { return true; }

    // ---- data ----
    TableViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(TableViewDataSource* ds) { dataSource_ = ds; }
    TableViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TableViewDelegate* d) { delegate_ = d; }
    // Asks for the rows again; view-based rows go back to the reuse pool and
    // the rows in sight are made anew. The selection stays on its row
    // number while that row exists.
    virtual void reloadData();
    // Redraws some rows (and asks their views again) without counting anew.
    void reloadDataForRows(const std::vector<long>& rows);
    long numberOfRows() const { return long(rowTops_.empty() ? 0 : rowTops_.size() - 1); }

    // ---- columns ----
    const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }
    void addTableColumn(std::shared_ptr<TableColumn> c);
    void removeTableColumn(TableColumn* c);
    long columnWithIdentifier(const std::string& identifier) const;
    TableColumn* tableColumnWithIdentifier(const std::string& identifier) const;
    long numberOfColumns() const { return long(columns_.size()); }
    TableViewColumnAutoresizingStyle columnAutoresizingStyle() const { return autoresizingStyle_; }
    void setColumnAutoresizingStyle(TableViewColumnAutoresizingStyle s);

    // ---- header ----
    // Any view; a TableHeaderView draws the columns' header cells. nullptr:
    // no header. The scroll view shows it above the rows.
    View* headerView() const { return header_.get(); }
    void setHeaderView(std::shared_ptr<View> v);
    std::shared_ptr<View> scrollHeaderView() override { return header_; }

    // ---- geometry ----
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h);
    Size intercellSpacing() const { return spacing_; }
    void setIntercellSpacing(Size s);
    // Out of range: the zero rectangle.
    Rect rectOfRow(long row) const;
    Rect rectOfColumn(long col) const;
    Rect frameOfCellAtColumn(long col, long row) const;
    // -1 when no row or column is there.
    long rowAtPoint(Point p) const;
    long columnAtPoint(Point p) const;
    // The rows that touch `r`: {first, count}.
    std::pair<long, long> rowsInRect(const Rect& r) const;
    // Sizes the table for its rows and columns and the clip view around it.
    void tile();
    // Scrolls the enclosing scroll view so that the row is in sight.
    void scrollRowToVisible(long row);

    // ---- selection ----
    long selectedRow() const { return selectedRow_; }
    bool isRowSelected(long row) const { return row >= 0 && row == selectedRow_; }
    // Selects a row (or none with -1) without asking the delegate; tells it
    // when the selection changed. Out-of-range rows select nothing.
    void selectRow(long row);
    void deselectAll() { selectRow(-1); }
    bool allowsEmptySelection() const { return allowsEmpty_; }
    void setAllowsEmptySelection(bool a) { allowsEmpty_ = a; }
    // The row and column of the last press, -1 outside.
    long clickedRow() const { return clickedRow_; }
    long clickedColumn() const { return clickedColumn_; }
    TableViewSelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(TableViewSelectionHighlightStyle s);

    // ---- look ----
    const Color& backgroundColor() const { return background_; }
    void setBackgroundColor(const Color& c) { background_ = c; setNeedsDisplay(); }
    bool usesAlternatingRowBackgroundColors() const { return alternating_; }
    void setUsesAlternatingRowBackgroundColors(bool a) { alternating_ = a; setNeedsDisplay(); }
    void drawRect(const Rect& dirty) override;
    virtual void drawBackgroundInClipRect(const Rect& clip);
    // Draws one row: the highlight, then the cells of its cell-based columns.
    virtual void drawRow(long row, const Rect& clip);
    // The column's data cell set up for a row (value, highlight, delegate's
    // willDisplayCell); nullptr for a column or row out of range.
    Cell* preparedCellAtColumn(long col, long row);

    // ---- view-based rows ----
    // A reusable view for `identifier`: one that left the screen, or a new one
    // from the layout registered for it, or from its factory; nullptr when
    // nothing is registered. A cell layout is loaded without an owner: its
    // controls' actions go to the first responder or get their target from
    // the delegate.
    std::shared_ptr<View> makeViewWithIdentifier(const std::string& identifier);
    void registerLayoutForIdentifier(const std::string& layoutName, const std::string& identifier);
    void registerLayoutJsonForIdentifier(const std::string& json, const std::string& identifier);
    void registerViewFactoryForIdentifier(std::function<std::shared_ptr<View>()> make, const std::string& identifier);
    // The view shown for a column in a row, if that row is in sight; with
    // makeIfNecessary the row's views are asked for first.
    View* viewAtColumn(long col, long row, bool makeIfNecessary = false);
    // How many cell views exist (in rows and in the pool), for tests.
    size_t viewCountForTesting() const;

    // ---- events ----
    bool acceptsFirstResponder() override { return true; }
    void mouseDown(Event& e) override;
    void keyDown(Event& e) override;
    // Pressure changes of a force click; the default does nothing.
    virtual void pressureChangeWithEvent(Event& e) {}

    void documentVisibleRectDidChange(const Rect& visible) override;
    void viewDidMoveToSuperview() override;
    bool setLayoutProperty(const std::string& key, const Value& value) override;

protected:
    // The questions the table asks about its rows. The table view answers them
    // from its data source and delegate; an outline view from its own.
    virtual long countRows();
    virtual Value objectValueAt(TableColumn* column, long row);
    virtual void setObjectValueAt(const Value& v, TableColumn* column, long row);
    virtual void willDisplayCellAt(Cell& cell, TableColumn* column, long row);
    virtual std::shared_ptr<View> viewForColumnAt(TableColumn* column, long row);
    virtual double heightOfRowAt(long row);
    virtual bool shouldSelectRowAt(long row);
    virtual void selectionDidChange();
    // The frame of a cell before the outline's indentation.
    virtual Rect cellFrameInset(long col, long row, const Rect& frame) const { return frame; }
    // A press that the outline takes (its disclosure triangles); true when taken.
    virtual bool handleMouseDownAt(Point p, long row, long col) { return false; }
    // Lays out the rows anew after the row count or heights changed.
    void noteNumberOfRowsChanged();
    // Moves the selection to another row number without telling anyone (the
    // selected item moved when rows above it came or went).
    void setSelectedRowQuietly(long row) { selectedRow_ = (row >= 0 && row < numberOfRows()) ? row : -1; }

private:
    struct RowViews {
        std::vector<std::pair<long, std::shared_ptr<View>>> views;   // column, view
    };
    void recomputeRows();
    void updateVisibleRowViews();
    void recycleRow(long row);
    void recycleAllRows();
    void placeRowViews(long row);
    void clickCellAt(long col, long row);

    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    std::vector<std::shared_ptr<TableColumn>> columns_;
    std::shared_ptr<View> header_;
    std::vector<double> rowTops_;   // rowTops_[r] .. rowTops_[r + 1] is row r; size rows + 1
    double rowHeight_ = 17;
    Size spacing_{3, 2};
    long selectedRow_ = -1;
    long clickedRow_ = -1, clickedColumn_ = -1;
    bool allowsEmpty_ = true;
    TableViewSelectionHighlightStyle highlightStyle_ = TableViewSelectionHighlightStyle::Regular;
    TableViewColumnAutoresizingStyle autoresizingStyle_ = TableViewColumnAutoresizingStyle::LastColumnOnly;
    Color background_ = Color::white();
    bool alternating_ = false;
    std::map<long, RowViews> rowViews_;
    std::map<std::string, std::vector<std::shared_ptr<View>>> reusePool_;
    struct CellSource {
        std::string layoutName, json;
        std::function<std::shared_ptr<View>()> factory;
    };
    std::map<std::string, CellSource> cellSources_;
    Rect lastVisible_;
    long generation_ = 0;   // counts reloads, so a reload from inside a delegate call is noticed
    bool tiling_ = false;
    bool updatingViews_ = false;
};

KIT_REGISTER_VIEW(TableView);
KIT_REGISTER_VIEW(TableHeaderView);
KIT_REGISTER_VIEW(TableCellView);

}  // namespace kit
