#include "kit/ui/TableView.h"

#include <algorithm>

#include "kit/ui/Graphics.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {
constexpr uint16_t kKeyDown = 125, kKeyUp = 126;
constexpr double kDefaultHeaderHeight = 23;
// How close to a header's right edge a press resizes the column.
constexpr double kResizeGrip = 3;

ClipView* enclosingClip(const View* v) { return v ? dynamic_cast<ClipView*>(v->superview()) : nullptr; }
}  // namespace

// ---- TableColumn ----

TableColumn::TableColumn(const std::string& identifier)
    : identifier_(identifier), headerCell_(std::make_shared<TableHeaderCell>()),
      dataCell_(std::make_shared<TextFieldCell>()) {}

void TableColumn::setTitle(const std::string& t) {
    headerCell_->setStringValue(t);
    if (auto* tv = table_.get(); tv && tv->headerView()) tv->headerView()->setNeedsDisplay();
}

void TableColumn::setWidth(double w) {
    w = std::clamp(w, minWidth_, std::max(minWidth_, maxWidth_));
    if (w == width_) return;
    width_ = w;
    if (auto* tv = table_.get()) tv->tile();
}

void TableColumn::setMinWidth(double w) {
    minWidth_ = w;
    if (width_ < w) setWidth(w);
}

void TableColumn::setMaxWidth(double w) {
    maxWidth_ = w;
    if (width_ > w) setWidth(w);
}

void TableColumn::setHidden(bool h) {
    if (h == hidden_) return;
    hidden_ = h;
    if (auto* tv = table_.get()) tv->tile();
}

void TableColumn::setHeaderCell(std::shared_ptr<Cell> c) {
    if (!c) return;
    headerCell_ = std::move(c);
    if (auto* tv = table_.get(); tv && tv->headerView()) tv->headerView()->setNeedsDisplay();
}

void TableColumn::setDataCell(std::shared_ptr<Cell> c) {
    if (!c) return;
    dataCell_ = std::move(c);
    if (auto* tv = table_.get()) tv->setNeedsDisplay();
}

void TableColumn::setSortIndicatorAscending(std::optional<bool> a) {
    sortAscending_ = a;
    if (auto* tv = table_.get(); tv && tv->headerView()) tv->headerView()->setNeedsDisplay();
}

// ---- TableCellView ----

namespace {
template <class T>
View* firstSubviewOf(const View& v) {
    for (auto& s : v.subviews())
        if (dynamic_cast<T*>(s.get())) return s.get();
    return nullptr;
}
}  // namespace

View* TableCellView::textField() const { return firstSubviewOf<TextField>(*this); }
View* TableCellView::imageView() const { return firstSubviewOf<ImageView>(*this); }

// ---- TableHeaderView ----

TableHeaderView::TableHeaderView(const Rect& frame) : View(frame) {}

Rect TableHeaderView::headerRectOfColumn(long col) const {
    TableView* t = table_.get();
    if (!t) return Rect();
    Rect c = t->rectOfColumn(col);
    return Rect(c.x(), 0, c.width(), bounds().height());
}

long TableHeaderView::columnAtPoint(Point p) const {
    TableView* t = table_.get();
    return t ? t->columnAtPoint(Point{p.x, 0}) : -1;
}

void TableHeaderView::drawRect(const Rect& dirty) {
    TableView* t = table_.get();
    Color::white(0.97).setFill();
    BezierPath::fillRect(dirty);
    if (!t) return;
    for (long i = 0; i < t->numberOfColumns(); ++i) {
        TableColumn* col = t->tableColumns()[size_t(i)].get();
        Rect r = headerRectOfColumn(i);
        if (col->isHidden() || r.isEmpty() || !rectsIntersect(r, dirty)) continue;
        col->headerCell()->drawWithFrame(r, *this);
        if (auto asc = col->sortIndicatorAscending())
            if (auto* hc = dynamic_cast<TableHeaderCell*>(col->headerCell()))
                hc->drawSortIndicatorWithFrame(r, *this, *asc, 1);
    }
}

void TableHeaderView::mouseDown(Event& e) {
    TableView* t = table_.get();
    if (!t) return;
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    // A press on a column's right edge resizes that column.
    for (long i = 0; i < t->numberOfColumns(); ++i) {
        TableColumn* col = t->tableColumns()[size_t(i)].get();
        Rect r = headerRectOfColumn(i);
        if (col->isHidden() || !(col->resizingMask() & TableColumnUserResizingMask)) continue;
        if (std::abs(p.x - r.maxX()) <= kResizeGrip) {
            resizing_ = i;
            resizeStartX_ = p.x;
            resizeStartWidth_ = col->width();
            return;
        }
    }
}

void TableHeaderView::mouseDragged(Event& e) {
    TableView* t = table_.get();
    if (!t || resizing_ < 0 || resizing_ >= t->numberOfColumns()) return;
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    t->tableColumns()[size_t(resizing_)]->setWidth(resizeStartWidth_ + p.x - resizeStartX_);
    setNeedsDisplay();
}

void TableHeaderView::mouseUp(Event&) { resizing_ = -1; }

// ---- TableView ----

TableView::TableView(const Rect& frame) : View(frame) {
    auto header = std::make_shared<TableHeaderView>(Rect(0, 0, frame.width(), kDefaultHeaderHeight));
    header->setTableView(this);
    header_ = header;
    rowTops_ = {0};
}

TableView::~TableView() = default;

// ---- the questions ----

long TableView::countRows() { return dataSource_ ? std::max(0L, dataSource_->numberOfRowsInTableView(*this)) : 0; }

Value TableView::objectValueAt(TableColumn* column, long row) {
    return dataSource_ ? dataSource_->objectValueForTableColumn(*this, column, row) : Value();
}

void TableView::setObjectValueAt(const Value& v, TableColumn* column, long row) {
    if (dataSource_) dataSource_->setObjectValue(*this, v, column, row);
}

void TableView::willDisplayCellAt(Cell& cell, TableColumn* column, long row) {
    if (delegate_) delegate_->willDisplayCell(*this, cell, column, row);
}

std::shared_ptr<View> TableView::viewForColumnAt(TableColumn* column, long row) {
    return delegate_ ? delegate_->viewForTableColumn(*this, column, row) : nullptr;
}

double TableView::heightOfRowAt(long row) { return delegate_ ? delegate_->heightOfRow(*this, row) : 0; }

bool TableView::shouldSelectRowAt(long row) { return delegate_ ? delegate_->shouldSelectRow(*this, row) : true; }

void TableView::selectionDidChange() {
    if (delegate_) delegate_->selectionDidChange(*this);
}

// ---- data ----

void TableView::recomputeRows() {
    long n = countRows();
    rowTops_.assign(1, 0.0);
    rowTops_.reserve(size_t(n) + 1);
    double y = 0;
    for (long r = 0; r < n; ++r) {
        double h = heightOfRowAt(r);
        if (!(h > 0)) h = rowHeight_;
        y += h + spacing_.height;
        rowTops_.push_back(y);
    }
}

void TableView::reloadData() {
    recycleAllRows();
    recomputeRows();
    if (selectedRow_ >= numberOfRows()) selectedRow_ = -1;
    tile();
    updateVisibleRowViews();
    setNeedsDisplay();
}

void TableView::noteNumberOfRowsChanged() { reloadData(); }

void TableView::reloadDataForRows(const std::vector<long>& rows) {
    for (long r : rows) {
        if (r < 0 || r >= numberOfRows()) continue;
        recycleRow(r);
        setNeedsDisplayInRect(rectOfRow(r));
    }
    updateVisibleRowViews();
}

// ---- columns ----

void TableView::addTableColumn(std::shared_ptr<TableColumn> c) {
    if (!c) return;
    c->table_ = Weak<TableView>(this);
    columns_.push_back(std::move(c));
    recycleAllRows();
    tile();
    updateVisibleRowViews();
}

void TableView::removeTableColumn(TableColumn* c) {
    auto it = std::find_if(columns_.begin(), columns_.end(), [&](auto& x) { return x.get() == c; });
    if (it == columns_.end()) return;
    (*it)->table_ = Weak<TableView>();
    columns_.erase(it);
    recycleAllRows();
    tile();
    updateVisibleRowViews();
}

long TableView::columnWithIdentifier(const std::string& identifier) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i]->identifier() == identifier) return long(i);
    return -1;
}

TableColumn* TableView::tableColumnWithIdentifier(const std::string& identifier) const {
    long i = columnWithIdentifier(identifier);
    return i < 0 ? nullptr : columns_[size_t(i)].get();
}

void TableView::setColumnAutoresizingStyle(TableViewColumnAutoresizingStyle s) {
    autoresizingStyle_ = s;
    tile();
}

// ---- header ----

void TableView::setHeaderView(std::shared_ptr<View> v) {
    if (v == header_) return;
    if (auto* old = dynamic_cast<TableHeaderView*>(header_.get())) old->setTableView(nullptr);
    header_ = std::move(v);
    if (auto* h = dynamic_cast<TableHeaderView*>(header_.get())) h->setTableView(this);
    if (ClipView* clip = enclosingClip(this))
        if (auto* sv = dynamic_cast<ScrollView*>(clip->superview())) sv->tile();
}

// ---- geometry ----

void TableView::setRowHeight(double h) {
    if (h == rowHeight_ || h <= 0) return;
    rowHeight_ = h;
    reloadData();
}

void TableView::setIntercellSpacing(Size s) {
    spacing_ = s;
    reloadData();
}

Rect TableView::rectOfRow(long row) const {
    if (row < 0 || row >= numberOfRows()) return Rect();
    double top = rowTops_[size_t(row)];
    return Rect(0, top, frame().width(), rowTops_[size_t(row) + 1] - top);
}

Rect TableView::rectOfColumn(long col) const {
    if (col < 0 || col >= numberOfColumns()) return Rect();
    double x = 0;
    for (long i = 0; i < col; ++i)
        if (!columns_[size_t(i)]->isHidden()) x += columns_[size_t(i)]->width() + spacing_.width;
    if (columns_[size_t(col)]->isHidden()) return Rect();
    return Rect(x, 0, columns_[size_t(col)]->width() + spacing_.width, frame().height());
}

Rect TableView::frameOfCellAtColumn(long col, long row) const {
    Rect c = rectOfColumn(col), r = rectOfRow(row);
    if (c.isEmpty() || r.isEmpty()) return Rect();
    Rect cell(c.x() + spacing_.width / 2, r.y() + spacing_.height / 2, std::max(0.0, c.width() - spacing_.width),
              std::max(0.0, r.height() - spacing_.height));
    return cellFrameInset(col, row, cell);
}

long TableView::rowAtPoint(Point p) const {
    if (numberOfRows() == 0 || p.y < 0 || p.y >= rowTops_.back() || p.x < 0 || p.x >= frame().width()) return -1;
    auto it = std::upper_bound(rowTops_.begin(), rowTops_.end(), p.y);
    return long(it - rowTops_.begin()) - 1;
}

long TableView::columnAtPoint(Point p) const {
    for (long i = 0; i < numberOfColumns(); ++i) {
        Rect c = rectOfColumn(i);
        if (!c.isEmpty() && p.x >= c.x() && p.x < c.maxX()) return i;
    }
    return -1;
}

std::pair<long, long> TableView::rowsInRect(const Rect& r) const {
    long n = numberOfRows();
    if (n == 0 || r.isEmpty()) return {0, 0};
    auto first = std::upper_bound(rowTops_.begin(), rowTops_.end(), r.minY());
    long a = std::max(0L, long(first - rowTops_.begin()) - 1);
    auto last = std::lower_bound(rowTops_.begin(), rowTops_.end(), r.maxY());
    long b = std::min(n, long(last - rowTops_.begin()));
    return {a, std::max(0L, b - a)};
}

void TableView::tile() {
    if (tiling_) return;
    tiling_ = true;
    ClipView* clip = enclosingClip(this);
    const Size clipSize = clip ? clip->frame().size : Size{0, 0};
    // The last visible column takes up the difference to the clip's width.
    if (autoresizingStyle_ == TableViewColumnAutoresizingStyle::LastColumnOnly && clip) {
        double total = 0;
        TableColumn* last = nullptr;
        for (auto& c : columns_)
            if (!c->isHidden()) {
                total += c->width() + spacing_.width;
                last = c.get();
            }
        if (last && (last->resizingMask() & TableColumnAutoresizingMask) && total != clipSize.width)
            last->width_ = std::clamp(last->width_ + clipSize.width - total, last->minWidth_,
                                      std::max(last->minWidth_, last->maxWidth_));
    }
    double width = 0;
    for (auto& c : columns_)
        if (!c->isHidden()) width += c->width() + spacing_.width;
    const double rowsHeight = rowTops_.back();
    setFrameSize(Size{std::max(width, clipSize.width), std::max(rowsHeight, clipSize.height)});
    if (auto* h = dynamic_cast<TableHeaderView*>(header_.get()); h && h->frame().width() < frame().width())
        h->setFrameSize(Size{frame().width(), h->frame().height()});
    if (header_) header_->setNeedsDisplay();
    for (auto& [row, rv] : rowViews_) placeRowViews(row);
    tiling_ = false;
    setNeedsDisplay();
}

void TableView::scrollRowToVisible(long row) {
    ClipView* clip = enclosingClip(this);
    Rect r = rectOfRow(row);
    if (!clip || r.isEmpty()) return;
    Rect visible = clip->documentVisibleRect();
    double y = visible.y();
    if (r.y() < visible.y()) y = r.y();
    else if (r.maxY() > visible.maxY()) y = r.maxY() - visible.height();
    if (y != visible.y()) clip->scrollToPoint(Point{clip->bounds().x(), y + frame().y()});
}

// ---- selection ----

void TableView::selectRow(long row) {
    if (row < -1 || row >= numberOfRows()) return;
    if (row == -1 && !allowsEmptySelection() && numberOfRows() > 0) return;
    if (row == selectedRow_) return;
    long old = selectedRow_;
    selectedRow_ = row;
    if (old >= 0) setNeedsDisplayInRect(rectOfRow(old));
    if (row >= 0) setNeedsDisplayInRect(rectOfRow(row));
    selectionDidChange();
}

void TableView::setSelectionHighlightStyle(TableViewSelectionHighlightStyle s) {
    if (s == highlightStyle_) return;
    highlightStyle_ = s;
    setNeedsDisplay();
}

// ---- drawing ----

void TableView::drawRect(const Rect& dirty) {
    drawBackgroundInClipRect(dirty);
    auto [first, count] = rowsInRect(dirty);
    for (long r = first; r < first + count; ++r) drawRow(r, dirty);
}

void TableView::drawBackgroundInClipRect(const Rect& clip) {
    background_.setFill();
    BezierPath::fillRect(clip);
    if (!alternating_) return;
    Color::white(0.96).setFill();
    auto [first, count] = rowsInRect(clip);
    for (long r = first; r < first + count; ++r)
        if (r % 2) BezierPath::fillRect(rectOfRow(r));
}

void TableView::drawRow(long row, const Rect& clip) {
    Rect rr = rectOfRow(row);
    if (rr.isEmpty()) return;
    if (isRowSelected(row) && highlightStyle_ == TableViewSelectionHighlightStyle::Regular) {
        Color::rgb255(0, 99, 225).setFill();
        BezierPath::fillRect(rr);
    }
    auto views = rowViews_.find(row);
    for (long c = 0; c < numberOfColumns(); ++c) {
        if (views != rowViews_.end() &&
            std::any_of(views->second.views.begin(), views->second.views.end(), [&](auto& v) { return v.first == c; }))
            continue;
        Rect cf = frameOfCellAtColumn(c, row);
        if (cf.isEmpty() || !rectsIntersect(cf, clip)) continue;
        if (Cell* cell = preparedCellAtColumn(c, row)) {
            GraphicsContext::saveGraphicsState();
            GraphicsContext::current()->clipToRect(cf);
            cell->drawWithFrame(cf, *this);
            GraphicsContext::restoreGraphicsState();
        }
    }
}

Cell* TableView::preparedCellAtColumn(long col, long row) {
    if (col < 0 || col >= numberOfColumns() || row < 0 || row >= numberOfRows()) return nullptr;
    TableColumn* column = columns_[size_t(col)].get();
    Cell* cell = column->dataCell();
    setCellObjectValue(*cell, objectValueAt(column, row));
    cell->setHighlighted(isRowSelected(row) && highlightStyle_ == TableViewSelectionHighlightStyle::Regular);
    cell->setEditable(column->isEditable());
    cell->setControlView(this);
    willDisplayCellAt(*cell, column, row);
    return cell;
}

// ---- view-based rows ----

void TableView::registerLayoutForIdentifier(const std::string& layoutName, const std::string& identifier) {
    cellSources_[identifier] = CellSource{layoutName, "", nullptr};
}

void TableView::registerLayoutJsonForIdentifier(const std::string& json, const std::string& identifier) {
    cellSources_[identifier] = CellSource{"", json, nullptr};
}

void TableView::registerViewFactoryForIdentifier(std::function<std::shared_ptr<View>()> make,
                                                 const std::string& identifier) {
    cellSources_[identifier] = CellSource{"", "", std::move(make)};
}

std::shared_ptr<View> TableView::makeViewWithIdentifier(const std::string& identifier) {
    auto& pool = reusePool_[identifier];
    if (!pool.empty()) {
        std::shared_ptr<View> v = std::move(pool.back());
        pool.pop_back();
        return v;
    }
    auto it = cellSources_.find(identifier);
    if (it == cellSources_.end()) return nullptr;
    std::shared_ptr<View> v;
    if (it->second.factory) {
        v = it->second.factory();
    } else {
        // Cell layouts have no owner of their own; their controls' targets
        // are set by the delegate or are the first responder.
        LayoutOwner owner;
        LayoutContents c = it->second.json.empty() ? loadLayout(it->second.layoutName, owner)
                                                   : loadLayoutFromJson(it->second.json, identifier, owner);
        if (!c.views.empty()) v = c.views.front();
    }
    if (v) v->setIdentifier(identifier);
    return v;
}

View* TableView::viewAtColumn(long col, long row, bool makeIfNecessary) {
    if (makeIfNecessary && row >= 0 && row < numberOfRows() && !rowViews_.count(row)) {
        Weak<TableView> self(this);
        const long generation = generation_;
        RowViews rv;
        for (long c = 0; c < numberOfColumns() && generation == generation_; ++c) {
            if (columns_[size_t(c)]->isHidden()) continue;
            auto v = viewForColumnAt(columns_[size_t(c)].get(), row);
            if (!self) return nullptr;
            if (v) rv.views.emplace_back(c, v);
        }
        if (generation != generation_ || row >= numberOfRows() || rowViews_.count(row)) {
            // The delegate reloaded the table meanwhile: these views belong to
            // rows that are gone.
            for (auto& [c, v] : rv.views)
                if (!v->identifier().empty()) reusePool_[v->identifier()].push_back(v);
            return nullptr;
        }
        rowViews_[row] = std::move(rv);
        placeRowViews(row);
    }
    auto it = rowViews_.find(row);
    if (it == rowViews_.end()) return nullptr;
    for (auto& [c, v] : it->second.views)
        if (c == col) return v.get();
    return nullptr;
}

size_t TableView::viewCountForTesting() const {
    size_t n = 0;
    for (auto& [row, rv] : rowViews_) n += rv.views.size();
    for (auto& [id, pool] : reusePool_) n += pool.size();
    return n;
}

void TableView::placeRowViews(long row) {
    auto it = rowViews_.find(row);
    if (it == rowViews_.end()) return;
    for (auto& [c, v] : it->second.views) {
        v->setFrame(frameOfCellAtColumn(c, row));
        if (v->superview() != this) addSubview(v);
    }
}

void TableView::recycleRow(long row) {
    auto it = rowViews_.find(row);
    if (it == rowViews_.end()) return;
    RowViews rv = std::move(it->second);
    rowViews_.erase(it);
    for (auto& [c, v] : rv.views) {
        if (v->superview() == this) v->removeFromSuperview();
        if (!v->identifier().empty()) reusePool_[v->identifier()].push_back(v);
    }
}

void TableView::recycleAllRows() {
    ++generation_;
    while (!rowViews_.empty()) recycleRow(rowViews_.begin()->first);
}

void TableView::updateVisibleRowViews() {
    if (updatingViews_) return;
    updatingViews_ = true;
    Weak<TableView> self(this);
    // A delegate that reloads the table while it is asked for a view starts
    // the pass again (a few times at most).
    for (int pass = 0; pass < 3; ++pass) {
        const long generation = generation_;
        ClipView* clip = enclosingClip(this);
        Rect visible = clip ? clip->documentVisibleRect() : bounds();
        auto [first, count] = rowsInRect(visible);
        for (auto it = rowViews_.begin(); it != rowViews_.end();) {
            long row = it->first;
            ++it;
            if (row < first || row >= first + count) recycleRow(row);
        }
        for (long r = first; r < first + count && r < numberOfRows() && generation == generation_; ++r) {
            if (rowViews_.count(r)) continue;
            viewAtColumn(0, r, true);
            if (!self) return;
        }
        if (generation == generation_) break;
    }
    updatingViews_ = false;
}

void TableView::documentVisibleRectDidChange(const Rect& visible) {
    ClipView* clip = enclosingClip(this);
    if (clip && !tiling_ && clip->frame().size != lastVisible_.size) {
        lastVisible_ = visible;
        tile();
    }
    lastVisible_ = visible;
    updateVisibleRowViews();
}

void TableView::viewDidMoveToSuperview() {
    if (enclosingClip(this)) {
        tile();
        updateVisibleRowViews();
    }
}

// ---- events ----

void TableView::clickCellAt(long col, long row) {
    if (col < 0 || row < 0) return;
    TableColumn* column = columns_[size_t(col)].get();
    if (viewAtColumn(col, row)) return;   // a view-based cell takes its own clicks
    auto* button = dynamic_cast<ButtonCell*>(preparedCellAtColumn(col, row));
    if (!button || !button->isEnabled() || !button->isEditable()) return;
    CellState next = button->state();
    if (auto* box = dynamic_cast<CheckBoxCell*>(button)) {
        next = box->nextState();
    } else {
        switch (button->buttonType()) {
        case ButtonType::Switch: case ButtonType::Toggle: case ButtonType::PushOnPushOff: case ButtonType::OnOff:
        case ButtonType::Radio:
            next = button->state() == CellState::On ? CellState::Off : CellState::On;
            break;
        default: break;
        }
    }
    button->setState(next);
    Value v = cellObjectValue(*button);
    Weak<TableView> self(this);
    setObjectValueAt(v, column, row);
    if (self) setNeedsDisplayInRect(rectOfRow(row));
}

void TableView::mouseDown(Event& e) {
    Weak<TableView> self(this);
    if (Window* w = window()) w->makeFirstResponder(this);
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    long row = rowAtPoint(p), col = columnAtPoint(p);
    clickedRow_ = row;
    clickedColumn_ = col;
    if (handleMouseDownAt(p, row, col) || !self) return;
    if (row < 0) {
        if (allowsEmptySelection()) selectRow(-1);
        return;
    }
    if (row != selectedRow_ && shouldSelectRowAt(row) && self) selectRow(row);
    if (self && row < numberOfRows()) clickCellAt(col, row);
}

void TableView::keyDown(Event& e) {
    if (e.keyCode != kKeyDown && e.keyCode != kKeyUp) {
        View::keyDown(e);
        return;
    }
    long n = numberOfRows();
    if (n == 0) return;
    long row = selectedRow_;
    // The next row the delegate lets us select, in the key's direction.
    const long step = e.keyCode == kKeyDown ? 1 : -1;
    long r = row < 0 ? (step > 0 ? 0 : n - 1) : row + step;
    Weak<TableView> self(this);
    for (; r >= 0 && r < numberOfRows(); r += step) {
        bool ok = shouldSelectRowAt(r);
        if (!self) return;
        if (ok) {
            selectRow(r);
            if (self) scrollRowToVisible(r);
            return;
        }
    }
}

// ---- layout files ----

namespace {
Color colorFrom(const Value::Array& a) {
    auto c = [&](size_t i) { return a[i].asReal().value_or(0); };
    return Color::rgb255(c(0), c(1), c(2), a.size() == 4 ? c(3) : 1.0);
}
}  // namespace

bool TableView::setLayoutProperty(const std::string& key, const Value& value) {
    if (key == "rowHeight") {
        setRowHeight(value.asReal().value_or(rowHeight_));
    } else if (key == "intercellSpacing") {
        const Value::Array* a = value.asArray();
        if (!a || a->size() != 2) return false;
        setIntercellSpacing(Size{(*a)[0].asReal().value_or(0), (*a)[1].asReal().value_or(0)});
    } else if (key == "headerHeight") {
        double h = value.asReal().value_or(kDefaultHeaderHeight);
        if (h <= 0) setHeaderView(nullptr);
        else if (header_) header_->setFrameSize(Size{header_->frame().width(), h});
    } else if (key == "selectionHighlightStyle") {
        std::string s = value.asString().value_or("");
        if (s != "none" && s != "regular") return false;
        setSelectionHighlightStyle(s == "none" ? TableViewSelectionHighlightStyle::None
                                               : TableViewSelectionHighlightStyle::Regular);
    } else if (key == "backgroundColor") {
        const Value::Array* a = value.asArray();
        if (!a || (a->size() != 3 && a->size() != 4)) return false;
        setBackgroundColor(colorFrom(*a));
    } else if (key == "usesAlternatingRowBackgroundColors") {
        setUsesAlternatingRowBackgroundColors(value.asBool().value_or(false));
    } else if (key == "columnAutoresizing") {
        std::string s = value.asString().value_or("");
        if (s != "none" && s != "lastColumnOnly") return false;
        setColumnAutoresizingStyle(s == "none" ? TableViewColumnAutoresizingStyle::None
                                              : TableViewColumnAutoresizingStyle::LastColumnOnly);
    } else if (key == "allowsEmptySelection") {
        setAllowsEmptySelection(value.asBool().value_or(true));
    } else if (key == "cellLayouts") {
        const Value::Dict* d = value.asDict();
        if (!d) return false;
        for (auto& [id, name] : *d) registerLayoutForIdentifier(name.asString().value_or(""), id);
    } else if (key == "columns") {
        const Value::Array* cols = value.asArray();
        if (!cols) return false;
        for (const Value& cv : *cols) {
            const Value::Dict* d = cv.asDict();
            if (!d) return false;
            auto col = std::make_shared<TableColumn>(cv.getString("identifier").value_or(""));
            for (auto& [k, v] : *d) {
                if (k == "identifier") continue;
                if (k == "title") col->setTitle(v.asString().value_or(""));
                else if (k == "width") col->width_ = v.asReal().value_or(100);
                else if (k == "minWidth") col->minWidth_ = v.asReal().value_or(10);
                else if (k == "maxWidth") col->maxWidth_ = v.asReal().value_or(100000);
                else if (k == "editable") col->setEditable(v.asBool().value_or(true));
                else if (k == "hidden") col->hidden_ = v.asBool().value_or(false);
                else if (k == "resizing") {
                    std::string s = v.asString().value_or("");
                    if (s == "none") col->setResizingMask(TableColumnNoResizing);
                    else if (s == "autoresizing") col->setResizingMask(TableColumnAutoresizingMask);
                    else if (s == "user") col->setResizingMask(TableColumnUserResizingMask);
                    else if (s == "both") col->setResizingMask(TableColumnAutoresizingMask | TableColumnUserResizingMask);
                    else return false;
                } else if (k == "dataCell") {
                    auto cell = makeCellOfClass(v.asString().value_or(""));
                    if (!cell) return false;
                    col->setDataCell(cell);
                } else {
                    return false;
                }
            }
            addTableColumn(col);
        }
    } else {
        return false;
    }
    return true;
}

}  // namespace kit
