#include "kit/ui/OutlineView.h"

#include "kit/ui/Graphics.h"

namespace kit {

OutlineView::OutlineView(const Rect& frame) : TableView(frame) {}

// ---- rows ----

void OutlineView::appendChildren(const OutlineItem& parent, long level, std::vector<Row>& out,
                                 std::set<const void*>& seen) {
    OutlineViewDataSource* ds = outlineDataSource_;
    long n = ds->numberOfChildrenOfItem(*this, parent);
    for (long i = 0; i < n; ++i) {
        OutlineItem c = ds->child(*this, i, parent);
        // Gone meanwhile, or an item met twice (a tree that loops): skipped.
        if (!c || !seen.insert(c.get()).second) continue;
        bool expandable = ds->isItemExpandable(*this, c);
        out.push_back(Row{c, parent, level, expandable});
        if (expandable && expanded_.count(c.get())) appendChildren(c, level + 1, out, seen);
    }
}

void OutlineView::flatten() {
    std::vector<Row> rows;
    std::set<const void*> seen;
    if (outlineDataSource_) appendChildren(nullptr, 0, rows, seen);
    rows_ = std::move(rows);
    // Expanded items nobody else holds any more can't come back.
    for (auto it = expanded_.begin(); it != expanded_.end();) {
        if (it->second.use_count() == 1) it = expanded_.erase(it);
        else ++it;
    }
}

void OutlineView::reloadData() {
    OutlineItem selected = itemAtRow(selectedRow());
    flatten();
    TableView::reloadData();
    if (!selected) return;
    long row = rowForItem(selected);
    setSelectedRowQuietly(row);
    // The selected item went out of sight with its folder.
    if (row < 0) selectionDidChange();
}

void OutlineView::reloadItem(const OutlineItem& item, bool reloadChildren) {
    if (reloadChildren || !item) {
        reloadData();
        return;
    }
    long row = rowForItem(item);
    if (row < 0) return;
    bool expandable = outlineDataSource_ && outlineDataSource_->isItemExpandable(*this, item);
    if (expandable != rows_[size_t(row)].expandable) {
        rows_[size_t(row)].expandable = expandable;
        if (!expandable && expanded_.erase(item.get())) {
            reloadData();
            return;
        }
    }
    reloadDataForRows({row});
}

long OutlineView::countRows() { return long(rows_.size()); }

OutlineItem OutlineView::itemAtRow(long row) const {
    return (row >= 0 && row < long(rows_.size())) ? rows_[size_t(row)].item : nullptr;
}

long OutlineView::rowForItem(const OutlineItem& item) const {
    if (!item) return -1;
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].item.get() == item.get()) return long(i);
    return -1;
}

long OutlineView::levelForRow(long row) const {
    return (row >= 0 && row < long(rows_.size())) ? rows_[size_t(row)].level : -1;
}

OutlineItem OutlineView::parentForItem(const OutlineItem& item) const {
    long row = rowForItem(item);
    return row < 0 ? nullptr : rows_[size_t(row)].parent;
}

bool OutlineView::isExpandable(const OutlineItem& item) const {
    long row = rowForItem(item);
    return row >= 0 && rows_[size_t(row)].expandable;
}

bool OutlineView::isItemExpanded(const OutlineItem& item) const { return item && expanded_.count(item.get()); }

// ---- expanding ----

void OutlineView::expandItem(const OutlineItem& item, bool expandChildren) {
    if (!item || !isExpandable(item)) return;
    Weak<TableView> self(this);
    if (!isItemExpanded(item)) {
        expanded_[item.get()] = item;
        reloadData();
        if (outlineDelegate_) outlineDelegate_->itemDidExpand(*this, item);
        if (!self) return;
    }
    if (!expandChildren || !outlineDataSource_) return;
    long n = outlineDataSource_->numberOfChildrenOfItem(*this, item);
    for (long i = 0; i < n && self; ++i)
        if (OutlineItem c = outlineDataSource_->child(*this, i, item)) expandItem(c, true);
}

void OutlineView::collapseItem(const OutlineItem& item, bool collapseChildren) {
    if (!isItemExpanded(item)) return;
    long row = rowForItem(item);
    expanded_.erase(item.get());
    if (collapseChildren && row >= 0) {
        // The rows below it at a deeper level are its descendants.
        for (size_t r = size_t(row) + 1; r < rows_.size() && rows_[r].level > rows_[size_t(row)].level; ++r)
            expanded_.erase(rows_[r].item.get());
    }
    reloadData();
    if (outlineDelegate_) outlineDelegate_->itemDidCollapse(*this, item);
}

// ---- the outline column ----

long OutlineView::outlineColumnIndex() const {
    if (TableColumn* c = outlineColumn_.get())
        for (long i = 0; i < numberOfColumns(); ++i)
            if (tableColumns()[size_t(i)].get() == c) return i;
    if (!outlineColumnIdentifier_.empty()) return columnWithIdentifier(outlineColumnIdentifier_);
    return numberOfColumns() > 0 ? 0 : -1;
}

TableColumn* OutlineView::outlineTableColumn() const {
    long i = outlineColumnIndex();
    return i < 0 ? nullptr : tableColumns()[size_t(i)].get();
}

void OutlineView::setOutlineTableColumn(TableColumn* column) {
    outlineColumn_ = Weak<TableColumn>(column);
    outlineColumnIdentifier_.clear();
    tile();
}

void OutlineView::setIndentationPerLevel(double d) {
    indentation_ = std::max(0.0, d);
    tile();
}

Rect OutlineView::cellFrameInset(long col, long row, const Rect& frame) const {
    if (col != outlineColumnIndex() || row < 0 || row >= long(rows_.size())) return frame;
    double indent = std::min(frame.width(), indentation_ * double(rows_[size_t(row)].level + 1));
    return Rect(frame.x() + indent, frame.y(), frame.width() - indent, frame.height());
}

Rect OutlineView::frameOfOutlineCellAtRow(long row) const {
    if (row < 0 || row >= long(rows_.size()) || !rows_[size_t(row)].expandable) return Rect();
    Rect c = rectOfColumn(outlineColumnIndex()), r = rectOfRow(row);
    if (c.isEmpty() || r.isEmpty()) return Rect();
    double x = c.x() + intercellSpacing().width / 2 + indentation_ * double(rows_[size_t(row)].level);
    return Rect(x, r.y(), indentation_, r.height());
}

void OutlineView::drawRow(long row, const Rect& clip) {
    TableView::drawRow(row, clip);
    Rect t = frameOfOutlineCellAtRow(row);
    if (t.isEmpty()) return;
    // A small grey triangle: pointing right when closed, down when open.
    const double s = 8, cx = t.midX(), cy = t.midY();
    BezierPath p;
    if (isItemExpanded(rows_[size_t(row)].item)) {
        p.moveTo(Point{cx - s / 2, cy - s / 4});
        p.lineTo(Point{cx + s / 2, cy - s / 4});
        p.lineTo(Point{cx, cy + s / 2 - s / 4 + 1});
    } else {
        p.moveTo(Point{cx - s / 4, cy - s / 2});
        p.lineTo(Point{cx + s / 2 - s / 4 + 1, cy});
        p.lineTo(Point{cx - s / 4, cy + s / 2});
    }
    p.closePath();
    Color(0, 0, 0, 0.5).setFill();
    p.fill();
}

bool OutlineView::handleMouseDownAt(Point p, long row, long) {
    Rect t = frameOfOutlineCellAtRow(row);
    if (t.isEmpty() || !pointInRect(p, t)) return false;
    OutlineItem item = rows_[size_t(row)].item;
    if (isItemExpanded(item)) {
        if (!outlineDelegate_ || outlineDelegate_->shouldCollapseItem(*this, item)) collapseItem(item);
    } else {
        if (!outlineDelegate_ || outlineDelegate_->shouldExpandItem(*this, item)) expandItem(item);
    }
    return true;
}

// ---- the table's questions, asked by item ----

Value OutlineView::objectValueAt(TableColumn* column, long row) {
    OutlineItem item = itemAtRow(row);
    return (outlineDataSource_ && item) ? outlineDataSource_->objectValueForTableColumn(*this, column, item) : Value();
}

void OutlineView::setObjectValueAt(const Value& v, TableColumn* column, long row) {
    OutlineItem item = itemAtRow(row);
    if (outlineDataSource_ && item) outlineDataSource_->setObjectValue(*this, v, column, item);
}

void OutlineView::willDisplayCellAt(Cell& cell, TableColumn* column, long row) {
    OutlineItem item = itemAtRow(row);
    if (outlineDelegate_ && item) outlineDelegate_->willDisplayCell(*this, cell, column, item);
}

std::shared_ptr<View> OutlineView::viewForColumnAt(TableColumn* column, long row) {
    OutlineItem item = itemAtRow(row);
    return (outlineDelegate_ && item) ? outlineDelegate_->viewForTableColumn(*this, column, item) : nullptr;
}

double OutlineView::heightOfRowAt(long row) {
    OutlineItem item = itemAtRow(row);
    return (outlineDelegate_ && item) ? outlineDelegate_->heightOfRowByItem(*this, item) : 0;
}

bool OutlineView::shouldSelectRowAt(long row) {
    OutlineItem item = itemAtRow(row);
    return item && (!outlineDelegate_ || outlineDelegate_->shouldSelectItem(*this, item));
}

void OutlineView::selectionDidChange() {
    if (outlineDelegate_) outlineDelegate_->selectionDidChange(*this);
}

bool OutlineView::setLayoutProperty(const std::string& key, const Value& value) {
    if (key == "outlineColumn") {
        outlineColumn_ = Weak<TableColumn>();
        outlineColumnIdentifier_ = value.asString().value_or("");
        return true;
    }
    if (key == "indentationPerLevel") {
        setIndentationPerLevel(value.asReal().value_or(16));
        return true;
    }
    return TableView::setLayoutProperty(key, value);
}

}  // namespace kit
