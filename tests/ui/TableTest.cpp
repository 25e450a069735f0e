// Tables and outline views of the kit: geometry, cells and check boxes,
// selection by mouse and keys, view-based rows made only for the rows in
// sight, outline expansion kept across reloads, layout files.
#include <set>

#include "UiTest.h"
#include "kit/ui/Layout.h"
#include "kit/ui/OutlineView.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/TableView.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Point;
using kit::Rect;
using uitest::UiTest;

// A table model: `rows` rows; records what the table asked and was told.
struct Model : kit::TableViewDataSource, kit::TableViewDelegate {
    long rows = 3;
    std::vector<kit::CellState> boxes;
    std::set<long> refused;          // rows shouldSelectRow refuses
    std::set<long> lockedBoxes;      // rows whose check box is not editable
    std::vector<long> displayed;     // rows given to willDisplayCell
    std::vector<std::pair<long, int64_t>> boxClicks;   // row, new value
    int selectionChanges = 0;
    bool viewBased = false;
    int viewsMade = 0;
    std::function<void()> duringView;

    long numberOfRowsInTableView(kit::TableView&) override { return rows; }
    kit::Value objectValueForTableColumn(kit::TableView&, kit::TableColumn* c, long row) override {
        if (c->identifier() == "Check") {
            kit::CellState s = size_t(row) < boxes.size() ? boxes[size_t(row)] : kit::CellState::Off;
            return kit::Value(int64_t(s == kit::CellState::On ? 1 : s == kit::CellState::Mixed ? 2 : 0));
        }
        return kit::Value("row " + std::to_string(row));
    }
    void setObjectValue(kit::TableView&, const kit::Value& v, kit::TableColumn* c, long row) override {
        if (c->identifier() == "Check") boxClicks.emplace_back(row, v.asInt().value_or(-9));
    }
    void willDisplayCell(kit::TableView&, kit::Cell& cell, kit::TableColumn* c, long row) override {
        if (c->identifier() == "Name") displayed.push_back(row);
        if (c->identifier() == "Check" && lockedBoxes.count(row)) cell.setEditable(false);
    }
    bool shouldSelectRow(kit::TableView&, long row) override { return !refused.count(row); }
    void selectionDidChange(kit::TableView&) override { ++selectionChanges; }
    std::shared_ptr<kit::View> viewForTableColumn(kit::TableView& t, kit::TableColumn* c, long row) override {
        if (duringView) {
            auto f = std::move(duringView);
            f();
        }
        if (!viewBased || c->identifier() != "Name") return nullptr;
        auto v = t.makeViewWithIdentifier("NameCell");
        if (auto* cv = dynamic_cast<kit::TableCellView*>(v.get())) cv->setObjectValue(kit::Value(int64_t(row)));
        return v;
    }
};

std::shared_ptr<kit::TableView> makeTable(Model& m, double width = 300) {
    auto t = std::make_shared<kit::TableView>(Rect(0, 0, width, 100));
    auto check = std::make_shared<kit::TableColumn>("Check");
    check->setWidth(27);
    check->setDataCell(std::make_shared<kit::CheckBoxCell>());
    t->addTableColumn(check);
    auto name = std::make_shared<kit::TableColumn>("Name");
    name->setTitle("Name");
    name->setWidth(147);
    t->addTableColumn(name);
    t->setRowHeight(20);
    t->setDataSource(&m);
    t->setDelegate(&m);
    t->registerViewFactoryForIdentifier(
        [&m] {
            ++m.viewsMade;
            return std::make_shared<kit::TableCellView>();
        },
        "NameCell");
    return t;
}

struct Shown {
    std::shared_ptr<kit::Window> window;
    std::shared_ptr<kit::ScrollView> scroll;
};

Shown showInWindow(std::shared_ptr<kit::TableView> t, Rect svFrame = Rect(0, 0, 300, 200)) {
    Shown s;
    s.window = std::make_shared<kit::Window>(Rect(100, 100, svFrame.width(), svFrame.height()),
                                             kit::BorderlessWindowMask);
    s.scroll = std::make_shared<kit::ScrollView>(svFrame);
    s.scroll->setHasVerticalScroller(true);
    s.scroll->setDocumentView(t);
    s.window->contentView()->addSubview(s.scroll);
    s.window->makeKeyAndOrderFront();
    t->reloadData();
    return s;
}

// The window point at the middle of a cell.
Point cellPoint(kit::TableView& t, long col, long row) {
    Rect f = t.frameOfCellAtColumn(col, row);
    return t.convertPointToView(Point{f.midX(), f.midY()}, nullptr);
}

void key(kit::Window& w, uint16_t code) {
    kit::Event e;
    e.type = kit::EventType::KeyDown;
    e.keyCode = code;
    e.window = &w;
    kit::Application::shared().sendEvent(e);
}

TEST_F(UiTest, TableGeometryFollowsRowsColumnsAndTheClipView) {
    Model m;
    m.rows = 4;
    auto t = makeTable(m);
    Shown s = showInWindow(t);
    // Rows are rowHeight plus the 2-point spacing; columns width plus 3.
    EXPECT_EQ(t->rectOfRow(1), Rect(0, 22, 285, 22));
    // The last column fills the clip's width (the 23-point header is above the clip).
    EXPECT_EQ(t->rectOfColumn(1), Rect(30, 0, 150 + 105, 177));
    EXPECT_EQ(t->frameOfCellAtColumn(0, 2), Rect(1.5, 45, 27, 20));
    EXPECT_EQ(t->rowAtPoint(Point{10, 43}), 1);
    EXPECT_EQ(t->rowAtPoint(Point{10, 88}), -1);   // below the last row
    EXPECT_EQ(t->columnAtPoint(Point{31, 5}), 1);
    EXPECT_EQ(t->rowsInRect(Rect(0, 21, 10, 30)), (std::pair<long, long>{0, 3}));
    EXPECT_EQ(t->rectOfRow(9), Rect());
    // The table fills the clip view: as tall as it even with few rows.
    EXPECT_EQ(t->frame().size, (kit::Size{285, 177}));
    // Heights from the delegate.
    struct Tall : Model {
        double heightOfRow(kit::TableView&, long row) override { return row == 0 ? 40 : 0; }
    } tall;
    t->setDelegate(&tall);
    t->setDataSource(&tall);
    t->reloadData();
    EXPECT_EQ(t->rectOfRow(0).height(), 42);
    EXPECT_EQ(t->rectOfRow(1), Rect(0, 42, 285, 22));
    t->setDelegate(nullptr);
    t->setDataSource(nullptr);
}

TEST_F(UiTest, CellBasedRowsAskOnlyForTheRowsInSight) {
    Model m;
    m.rows = 10000;
    auto t = makeTable(m);
    Shown s = showInWindow(t);
    EXPECT_EQ(t->frame().height(), 10000 * 22);
    m.displayed.clear();
    kit::renderView(*s.scroll);
    ASSERT_FALSE(m.displayed.empty());
    EXPECT_LT(*std::max_element(m.displayed.begin(), m.displayed.end()), 12);   // 200 / 22 rows in sight
    s.scroll->scrollPoint(Point{0, 22 * 5000});
    m.displayed.clear();
    kit::renderView(*s.scroll);
    ASSERT_FALSE(m.displayed.empty());
    EXPECT_GE(*std::min_element(m.displayed.begin(), m.displayed.end()), 4999);
    EXPECT_LE(*std::max_element(m.displayed.begin(), m.displayed.end()), 5010);
    EXPECT_EQ(t->viewCountForTesting(), 0u);   // cell-based: no views at all
}

TEST_F(UiTest, TenThousandViewBasedRowsScrollWithAScreenfulOfViews) {
    Model m;
    m.rows = 10000;
    m.viewBased = true;
    auto t = makeTable(m);
    Shown s = showInWindow(t);
    const int screenful = 200 / 22 + 2;
    EXPECT_LE(m.viewsMade, screenful);
    // Scroll through the whole table a page at a time: views are reused.
    for (double y = 0; y < 22 * 10000; y += 180) s.scroll->scrollPoint(Point{0, y});
    EXPECT_LE(m.viewsMade, 2 * screenful);
    EXPECT_LE(t->viewCountForTesting(), size_t(2 * screenful));
    // The rows in sight have their views at their cell frames, the row's value set.
    long last = m.rows - 1;
    auto* v = dynamic_cast<kit::TableCellView*>(t->viewAtColumn(1, last));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->frame(), t->frameOfCellAtColumn(1, last));
    EXPECT_EQ(v->objectValue().asInt(), last);
    EXPECT_EQ(t->viewAtColumn(1, 0), nullptr);   // long gone from sight
    // Cell-based columns beside them still draw cells; a hit on a view reaches the table.
    uitest::send(*s.window, kit::EventType::LeftMouseDown, cellPoint(*t, 1, last));
    EXPECT_EQ(t->selectedRow(), last);
}

TEST_F(UiTest, SelectionByClickAndArrowKeysAsksTheDelegate) {
    Model m;
    m.rows = 5;
    m.refused = {2};
    auto t = makeTable(m);
    Shown s = showInWindow(t);
    uitest::send(*s.window, kit::EventType::LeftMouseDown, cellPoint(*t, 1, 1));
    uitest::send(*s.window, kit::EventType::LeftMouseUp, cellPoint(*t, 1, 1));
    EXPECT_EQ(t->selectedRow(), 1);
    EXPECT_EQ(t->clickedRow(), 1);
    EXPECT_EQ(m.selectionChanges, 1);
    // A refused row keeps the old selection.
    uitest::send(*s.window, kit::EventType::LeftMouseDown, cellPoint(*t, 1, 2));
    EXPECT_EQ(t->selectedRow(), 1);
    EXPECT_EQ(m.selectionChanges, 1);
    // Down skips the refused row; up comes back the same way.
    EXPECT_EQ(s.window->firstResponder(), t.get());
    key(*s.window, 125);
    EXPECT_EQ(t->selectedRow(), 3);
    key(*s.window, 125);
    key(*s.window, 125);
    EXPECT_EQ(t->selectedRow(), 4);   // stays on the last row
    key(*s.window, 126);
    key(*s.window, 126);
    EXPECT_EQ(t->selectedRow(), 1);
    // Rows out of range select nothing and crash nothing; a reload that
    // loses the selected row clears it.
    const int changes = m.selectionChanges;
    for (long row : {99L, t->numberOfRows(), -2L}) {
        t->selectRow(row);
        EXPECT_EQ(t->selectedRow(), 1) << row;
    }
    EXPECT_EQ(m.selectionChanges, changes);
    m.rows = 1;
    t->reloadData();
    EXPECT_EQ(t->selectedRow(), -1);
    kit::renderView(*s.scroll);
    // A press below the rows deselects.
    t->selectRow(0);
    uitest::send(*s.window, kit::EventType::LeftMouseDown, t->convertPointToView(Point{50, 150}, nullptr));
    EXPECT_EQ(t->selectedRow(), -1);
}

TEST_F(UiTest, CheckBoxClicksReachTheDataSourceWithTheirRowAndNewState) {
    Model m;
    m.rows = 4;
    m.boxes = {kit::CellState::Off, kit::CellState::On, kit::CellState::Mixed, kit::CellState::Off};
    m.lockedBoxes = {3};
    auto t = makeTable(m);
    Shown s = showInWindow(t);
    for (long row : {0, 1, 2, 3}) uitest::send(*s.window, kit::EventType::LeftMouseDown, cellPoint(*t, 0, row));
    // Off and mixed go on, on goes off; the locked box says nothing.
    EXPECT_EQ(m.boxClicks, (std::vector<std::pair<long, int64_t>>{{0, 1}, {1, 0}, {2, 1}}));
    // The three states come from the data source's values (2 or -1 is mixed).
    kit::Cell* c = t->preparedCellAtColumn(0, 2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->state(), kit::CellState::Mixed);
    EXPECT_EQ(t->preparedCellAtColumn(0, 9), nullptr);
    // A click on the text column changes nothing.
    uitest::send(*s.window, kit::EventType::LeftMouseDown, cellPoint(*t, 1, 0));
    EXPECT_EQ(m.boxClicks.size(), 3u);
}

TEST_F(UiTest, ViewsAreReusedByIdentifierAndReloadsFromTheDelegateAreSafe) {
    Model m;
    m.rows = 3;
    m.viewBased = true;
    auto t = makeTable(m);
    Shown s = showInWindow(t);
    EXPECT_EQ(m.viewsMade, 3);
    kit::View* first = t->viewAtColumn(1, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->identifier(), "NameCell");
    // A reload hands the same views out again.
    t->reloadData();
    EXPECT_EQ(m.viewsMade, 3);
    EXPECT_EQ(t->subviews().size(), 3u);
    // The delegate reloading the table while it is asked for a view (as the
    // Disk Manager's selection does) leaves one view per row.
    m.duringView = [&] { t->reloadData(); };
    t->reloadData();
    EXPECT_EQ(t->subviews().size(), 3u);
    for (long r = 0; r < 3; ++r) EXPECT_NE(t->viewAtColumn(1, r), nullptr);
    EXPECT_LE(m.viewsMade, 6);
    // Nothing registered for an identifier: no view.
    EXPECT_EQ(t->makeViewWithIdentifier("Unknown"), nullptr);
}

TEST_F(UiTest, CellViewsComeFromLayoutsAndTablesFromLayoutFiles) {
    struct Owner : kit::LayoutOwner {
        Owner() { declareOutlet("table", table); }
        std::shared_ptr<kit::TableView> table;
    } o;
    kit::LayoutContents contents = kit::loadLayoutFromJson(R"({ "view": { "class": "ScrollView", "frame": [0, 0, 400, 300],
        "hasVerticalScroller": true, "subviews": [
        { "class": "TableView", "frame": [0, 0, 400, 300], "outlet": "table", "rowHeight": 48,
          "intercellSpacing": [0, 0], "headerHeight": 25, "selectionHighlightStyle": "none",
          "columns": [ { "identifier": "CheckBox", "title": "", "width": 30, "dataCell": "CheckBoxCell",
                         "resizing": "none" },
                       { "identifier": "Name", "title": "Name", "width": 200, "minWidth": 50 } ] } ] } })",
                            "Tables", o);
    ASSERT_TRUE(o.table);
    kit::TableView& t = *o.table;
    ASSERT_EQ(t.numberOfColumns(), 2);
    EXPECT_EQ(t.tableColumns()[1]->title(), "Name");
    EXPECT_NE(dynamic_cast<kit::CheckBoxCell*>(t.tableColumns()[0]->dataCell()), nullptr);
    EXPECT_EQ(t.headerView()->frame().height(), 25);
    auto* sv = dynamic_cast<kit::ScrollView*>(t.superview()->superview());
    ASSERT_NE(sv, nullptr);
    EXPECT_EQ(sv->contentView()->frame(), Rect(0, 25, 385, 275));
    EXPECT_EQ(t.selectionHighlightStyle(), kit::TableViewSelectionHighlightStyle::None);

    // A cell view layout registered for an identifier.
    t.registerLayoutJsonForIdentifier(R"({ "view": { "class": "TableCellView", "frame": [0, 0, 200, 48],
        "subviews": [ { "class": "TextField", "frame": [10, 10, 100, 20], "text": "x" } ] } })",
                                      "Row");
    auto v = t.makeViewWithIdentifier("Row");
    auto* cv = dynamic_cast<kit::TableCellView*>(v.get());
    ASSERT_NE(cv, nullptr);
    EXPECT_EQ(cv->identifier(), "Row");
    EXPECT_NE(dynamic_cast<kit::TextField*>(cv->textField()), nullptr);

    // Unknown cell classes and column keys are load errors.
    struct Plain : kit::LayoutOwner {} p;
    EXPECT_THROW(kit::loadLayoutFromJson(R"({ "view": { "class": "TableView", "columns": [
        { "identifier": "A", "dataCell": "NoSuchCell" } ] } })", "Bad", p), kit::LayoutError);
    EXPECT_THROW(kit::loadLayoutFromJson(R"({ "view": { "class": "TableView", "columns": [
        { "identifier": "A", "colour": 3 } ] } })", "Bad", p), kit::LayoutError);
    // Without a header the scroll view has no header clip.
    EXPECT_NO_THROW(kit::loadLayoutFromJson(R"({ "view": { "class": "ScrollView", "subviews": [
        { "class": "TableView", "headerHeight": 0 } ] } })", "Headerless", p));
}

TEST_F(UiTest, HeaderCellsAreReplaceableAndColumnsResizeAtTheirHeaderEdge) {
    Model m;
    auto t = makeTable(m, 600);
    t->setColumnAutoresizingStyle(kit::TableViewColumnAutoresizingStyle::None);
    Shown s = showInWindow(t, Rect(0, 0, 600, 200));
    kit::TableColumn* name = t->tableColumns()[1].get();
    auto mine = std::make_shared<kit::TableHeaderCell>();
    mine->setStringValue("Mine");
    name->setHeaderCell(mine);
    EXPECT_EQ(name->title(), "Mine");
    // Drag the right edge of "Name" 40 points to the right.
    auto* header = dynamic_cast<kit::TableHeaderView*>(t->headerView());
    ASSERT_NE(header, nullptr);
    Rect hr = header->headerRectOfColumn(1);
    Point edge = header->convertPointToView(Point{hr.maxX() - 1, 10}, nullptr);
    uitest::send(*s.window, kit::EventType::LeftMouseDown, edge);
    uitest::send(*s.window, kit::EventType::LeftMouseDragged, Point{edge.x + 40, edge.y});
    uitest::send(*s.window, kit::EventType::LeftMouseUp, Point{edge.x + 40, edge.y});
    EXPECT_EQ(name->width(), 187);
    name->setMaxWidth(100);
    EXPECT_EQ(name->width(), 100);
    // A plain view may stand in for the header.
    auto plain = std::make_shared<kit::View>(Rect(0, 0, 800, 30));
    t->setHeaderView(plain);
    ASSERT_NE(s.scroll->headerClipView(), nullptr);
    EXPECT_EQ(s.scroll->headerClipView()->documentView(), plain.get());
    EXPECT_EQ(s.scroll->contentView()->frame().y(), 30);
}

// ---- outline views ----

struct Node {
    std::string name;
    std::vector<std::shared_ptr<Node>> children;
    bool folder = false;
    int state = 0;
};

std::shared_ptr<Node> node(const std::string& name, std::vector<std::shared_ptr<Node>> children = {}, bool folder = false) {
    auto n = std::make_shared<Node>();
    n->name = name;
    n->children = std::move(children);
    n->folder = folder || !n->children.empty();
    return n;
}

struct Tree : kit::OutlineViewDataSource, kit::OutlineViewDelegate {
    std::vector<std::shared_ptr<Node>> roots;
    std::vector<std::string> events;
    bool refuseExpand = false;

    const std::vector<std::shared_ptr<Node>>& kids(const kit::OutlineItem& item) {
        return item ? std::static_pointer_cast<Node>(item)->children : roots;
    }
    long numberOfChildrenOfItem(kit::OutlineView&, const kit::OutlineItem& item) override {
        return long(kids(item).size());
    }
    kit::OutlineItem child(kit::OutlineView&, long i, const kit::OutlineItem& item) override {
        auto& k = kids(item);
        return i < long(k.size()) ? k[size_t(i)] : nullptr;
    }
    bool isItemExpandable(kit::OutlineView&, const kit::OutlineItem& item) override {
        return std::static_pointer_cast<Node>(item)->folder;
    }
    kit::Value objectValueForTableColumn(kit::OutlineView&, kit::TableColumn* c, const kit::OutlineItem& item) override {
        auto n = std::static_pointer_cast<Node>(item);
        return c->identifier() == "CheckBox" ? kit::Value(int64_t(n->state)) : kit::Value(n->name);
    }
    void setObjectValue(kit::OutlineView&, const kit::Value& v, kit::TableColumn*, const kit::OutlineItem& item) override {
        auto n = std::static_pointer_cast<Node>(item);
        events.push_back("set " + n->name + " " + std::to_string(v.asInt().value_or(-9)));
    }
    bool shouldExpandItem(kit::OutlineView&, const kit::OutlineItem& item) override {
        events.push_back("should " + std::static_pointer_cast<Node>(item)->name);
        return !refuseExpand;
    }
    void itemDidExpand(kit::OutlineView&, const kit::OutlineItem& item) override {
        events.push_back("expanded " + std::static_pointer_cast<Node>(item)->name);
    }
    void itemDidCollapse(kit::OutlineView&, const kit::OutlineItem& item) override {
        events.push_back("collapsed " + std::static_pointer_cast<Node>(item)->name);
    }
};

std::vector<std::string> shownNames(kit::OutlineView& ov) {
    std::vector<std::string> out;
    for (long r = 0; r < ov.numberOfRows(); ++r) out.push_back(std::static_pointer_cast<Node>(ov.itemAtRow(r))->name);
    return out;
}

std::shared_ptr<kit::OutlineView> makeOutline(Tree& tree) {
    auto ov = std::make_shared<kit::OutlineView>(Rect(0, 0, 300, 200));
    auto box = std::make_shared<kit::TableColumn>("CheckBox");
    box->setWidth(27);
    box->setDataCell(std::make_shared<kit::CheckBoxCell>());
    ov->addTableColumn(box);
    ov->addTableColumn(std::make_shared<kit::TableColumn>("Name"));
    ov->setOutlineTableColumn(ov->tableColumns()[1].get());
    ov->setRowHeight(20);
    ov->setDataSource(&tree);
    ov->setDelegate(&tree);
    return ov;
}

TEST_F(UiTest, OutlineExpandsByItsTriangleAndKeepsExpansionAcrossReloads) {
    Tree tree;
    auto docs = node("Docs", {node("a.txt"), node("Deep", {node("b.txt")})});
    tree.roots = {docs, node("App.app", {}, false), node("Music", {node("c.mp3")})};
    auto ov = makeOutline(tree);
    Shown s = showInWindow(ov);
    EXPECT_EQ(shownNames(*ov), (std::vector<std::string>{"Docs", "App.app", "Music"}));
    EXPECT_TRUE(ov->frameOfOutlineCellAtRow(1).isEmpty());   // nothing to open

    // A click on the triangle opens the folder; the delegate is asked first.
    Rect tri = ov->frameOfOutlineCellAtRow(0);
    ASSERT_FALSE(tri.isEmpty());
    Point p = ov->convertPointToView(Point{tri.midX(), tri.midY()}, nullptr);
    uitest::send(*s.window, kit::EventType::LeftMouseDown, p);
    EXPECT_EQ(tree.events, (std::vector<std::string>{"should Docs", "expanded Docs"}));
    EXPECT_EQ(shownNames(*ov), (std::vector<std::string>{"Docs", "a.txt", "Deep", "App.app", "Music"}));
    EXPECT_EQ(ov->selectedRow(), -1);   // the triangle doesn't select
    EXPECT_EQ(ov->levelForRow(2), 1);
    EXPECT_EQ(ov->parentForItem(ov->itemAtRow(2)).get(), docs.get());
    // The outline column's cells are indented by level; other columns are not.
    EXPECT_EQ(ov->frameOfCellAtColumn(1, 1).x() - ov->frameOfCellAtColumn(1, 0).x(), 16);
    EXPECT_EQ(ov->frameOfCellAtColumn(0, 1).x(), ov->frameOfCellAtColumn(0, 0).x());

    ov->expandItem(ov->itemAtRow(2));   // Deep
    ov->selectRow(4);                   // App.app
    // A reload (the tree grew meanwhile) keeps both open and the selection on its item.
    docs->children.push_back(node("z.txt"));
    ov->reloadData();
    EXPECT_EQ(shownNames(*ov),
              (std::vector<std::string>{"Docs", "a.txt", "Deep", "b.txt", "z.txt", "App.app", "Music"}));
    EXPECT_EQ(ov->selectedRow(), 5);
    // Collapsing the parent hides the child but remembers it open.
    ov->collapseItem(docs);
    EXPECT_EQ(shownNames(*ov), (std::vector<std::string>{"Docs", "App.app", "Music"}));
    ov->expandItem(docs);
    EXPECT_TRUE(ov->isItemExpanded(ov->itemAtRow(2)));
    EXPECT_EQ(ov->numberOfRows(), 7);
    // Refused by the delegate: stays closed.
    tree.refuseExpand = true;
    Rect musicTri = ov->frameOfOutlineCellAtRow(6);
    uitest::send(*s.window, kit::EventType::LeftMouseDown,
                 ov->convertPointToView(Point{musicTri.midX(), musicTri.midY()}, nullptr));
    EXPECT_FALSE(ov->isItemExpanded(ov->itemAtRow(6)));
}

TEST_F(UiTest, OutlineItemsAreASnapshotAndCheckBoxClicksNameTheirItem) {
    Tree tree;
    tree.roots = {node("One"), node("Two")};
    auto ov = makeOutline(tree);
    Shown s = showInWindow(ov);
    // The data source's list changing (a listing appending) is not seen
    // until the next reload; a child it no longer has is skipped.
    tree.roots.push_back(node("Three"));
    EXPECT_EQ(ov->numberOfRows(), 2);
    kit::renderView(*s.scroll);
    struct Shrinking : Tree {
        kit::OutlineItem child(kit::OutlineView& o, long i, const kit::OutlineItem& item) override {
            return i == 1 ? nullptr : Tree::child(o, i, item);
        }
    } gappy;
    gappy.roots = tree.roots;
    ov->setDataSource(&gappy);
    ov->reloadData();
    EXPECT_EQ(shownNames(*ov), (std::vector<std::string>{"One", "Three"}));
    ov->setDataSource(&tree);
    ov->reloadData();
    // A click on a check box hands the new state and the row's item back.
    tree.roots[1]->state = 2;
    uitest::send(*s.window, kit::EventType::LeftMouseDown, cellPoint(*ov, 0, 1));
    EXPECT_EQ(tree.events, (std::vector<std::string>{"set Two 1"}));
    EXPECT_EQ(ov->rowForItem(tree.roots[2]), 2);
    EXPECT_EQ(ov->rowForItem(node("stranger")), -1);
}

}  // namespace
