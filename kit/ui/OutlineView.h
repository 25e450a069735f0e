#pragma once
// Outline views: a table whose rows are the items of a tree.
//
// Items are whatever the data source hands out, as std::shared_ptr<void>
// (a std::shared_ptr<FileNode> converts by itself; static_pointer_cast gets it
// back); nullptr is the invisible root. The outline keeps the items it shows
// (and the expanded ones) alive, so an item the data source drops can't be
// reached freed. Identity is the pointer.
//
// The data source is asked for children and expandability when the outline
// loads its rows: reloadData() walks the tree from the root into every
// expanded item, and the rows drawn afterwards are that snapshot; nothing
// iterates the data source's own lists while they may grow. A child index
// the data source no longer has (nullptr) is skipped.
//
// Expanding: the disclosure triangle in the outline column (a click on it,
// or expandItem / collapseItem) opens and closes an item; the delegate may
// refuse (shouldExpandItem / shouldCollapseItem) and hears afterwards
// (itemDidExpand / itemDidCollapse). Expanded items stay expanded across a
// reload while the data source still hands them out. Each level indents the
// outline column's cells by indentationPerLevel(); the triangle sits in the
// indentation of the item's own level.
//
// Layout files: { "class": "OutlineView", ..., "outlineColumn": "Name",
//   "indentationPerLevel": 16, and every TableView property }.
#include <set>

#include "kit/ui/TableView.h"

namespace kit {

class OutlineView;
using OutlineItem = std::shared_ptr<void>;

class OutlineViewDataSource {
public:
    virtual ~OutlineViewDataSource() = default;
    virtual long numberOfChildrenOfItem(OutlineView& ov, const OutlineItem& item) { return 0; }
    virtual OutlineItem child(OutlineView& ov, long index, const OutlineItem& item) { return nullptr; }
    virtual bool isItemExpandable(OutlineView& ov, const OutlineItem& item) { return false; }
    virtual Value objectValueForTableColumn(OutlineView& ov, TableColumn* column, const OutlineItem& item) {
        return Value();
    }
    // A check box clicked: its new state (1 on, 0 off) for the item.
    virtual void setObjectValue(OutlineView& ov, const Value& value, TableColumn* column, const OutlineItem& item) {}
};

class OutlineViewDelegate {
public:
    virtual ~OutlineViewDelegate() = default;
    virtual void willDisplayCell(OutlineView& ov, Cell& cell, TableColumn* column, const OutlineItem& item) {}
    virtual std::shared_ptr<View> viewForTableColumn(OutlineView& ov, TableColumn* column, const OutlineItem& item) {
        return nullptr;
    }
    virtual double heightOfRowByItem(OutlineView& ov, const OutlineItem& item) { return 0; }
    virtual bool shouldSelectItem(OutlineView& ov, const OutlineItem& item) { return true; }
    virtual void selectionDidChange(OutlineView& ov) {}
    virtual bool shouldExpandItem(OutlineView& ov, const OutlineItem& item) { return true; }
    virtual bool shouldCollapseItem(OutlineView& ov, const OutlineItem& item) { return true; }
    virtual void itemDidExpand(OutlineView& ov, const OutlineItem& item) {}
    virtual void itemDidCollapse(OutlineView& ov, const OutlineItem& item) {}
};

class OutlineView : public TableView {
public:
    explicit OutlineView(const Rect& frame = Rect());

    OutlineViewDataSource* outlineDataSource() const { return outlineDataSource_; }
    void setDataSource(OutlineViewDataSource* ds) { outlineDataSource_ = ds; }
    OutlineViewDelegate* outlineDelegate() const { return outlineDelegate_; }
    void setDelegate(OutlineViewDelegate* d) { outlineDelegate_ = d; }

    void reloadData() override;
    // Redraws the item's row; with reloadChildren its children are asked
    // for again (expanded descendants stay expanded).
    void reloadItem(const OutlineItem& item, bool reloadChildren = false);

    // The column that shows the tree (indentation and triangles); the first
    // column unless set.
    TableColumn* outlineTableColumn() const;
    void setOutlineTableColumn(TableColumn* column);
    double indentationPerLevel() const { return indentation_; }
    void setIndentationPerLevel(double d);

    OutlineItem itemAtRow(long row) const;
    // -1 for an item not shown.
    long rowForItem(const OutlineItem& item) const;
    long levelForRow(long row) const;
    long levelForItem(const OutlineItem& item) const { return levelForRow(rowForItem(item)); }
    OutlineItem parentForItem(const OutlineItem& item) const;
    bool isExpandable(const OutlineItem& item) const;
    bool isItemExpanded(const OutlineItem& item) const;
    void expandItem(const OutlineItem& item, bool expandChildren = false);
    void collapseItem(const OutlineItem& item, bool collapseChildren = false);
    // The disclosure triangle's frame for a row (empty when the row's item
    // can't be expanded).
    Rect frameOfOutlineCellAtRow(long row) const;
    void drawRow(long row, const Rect& clip) override;

    bool setLayoutProperty(const std::string& key, const Value& value) override;

protected:
    long countRows() override;
    Value objectValueAt(TableColumn* column, long row) override;
    void setObjectValueAt(const Value& v, TableColumn* column, long row) override;
    void willDisplayCellAt(Cell& cell, TableColumn* column, long row) override;
    std::shared_ptr<View> viewForColumnAt(TableColumn* column, long row) override;
    double heightOfRowAt(long row) override;
    bool shouldSelectRowAt(long row) override;
    void selectionDidChange() override;
    Rect cellFrameInset(long col, long row, const Rect& frame) const override;
    bool handleMouseDownAt(Point p, long row, long col) override;

private:
    struct Row {
        OutlineItem item;
        OutlineItem parent;
        long level;
        bool expandable;
    };
    void flatten();
    void appendChildren(const OutlineItem& parent, long level, std::vector<Row>& out, std::set<const void*>& seen);
    long outlineColumnIndex() const;

    OutlineViewDataSource* outlineDataSource_ = nullptr;
    OutlineViewDelegate* outlineDelegate_ = nullptr;
    std::vector<Row> rows_;
    std::map<const void*, OutlineItem> expanded_;
    Weak<TableColumn> outlineColumn_;
    std::string outlineColumnIdentifier_;
    double indentation_ = 16;
};

KIT_REGISTER_VIEW(OutlineView);

}  // namespace kit
