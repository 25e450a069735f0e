// The system's list views, header cell, icon-and-text cells and the overlay
// scroller.
#include <cmath>

#include "Comm/CommOutlineView.h"
#include "Comm/CustomHeaderCell.h"
#include "Comm/CustomTableView.h"
#include "Comm/ImageAndTextCell.h"
#include "Comm/LagImageATextCell.h"
#include "Comm/NewOutlineView.h"
#include "Comm/OVNSTableView.h"
#include "Comm/RFOverlayScrollView.h"
#include "Comm/RFOverlayScroller.h"
#include "UiTest.h"
#include "kit/Defaults.h"
#include "kit/Notification.h"
#include "kit/RunLoop.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Image.h"

namespace {

using kit::Point;
using kit::Rect;
using uitest::UiTest;

struct Rows : kit::TableViewDataSource, kit::OutlineViewDataSource {
    long n = 3;
    std::vector<std::shared_ptr<int>> items;
    long numberOfRowsInTableView(kit::TableView&) override { return n; }
    long numberOfChildrenOfItem(kit::OutlineView&, const kit::OutlineItem& item) override {
        return item ? 0 : long(items.size());
    }
    kit::OutlineItem child(kit::OutlineView&, long i, const kit::OutlineItem&) override { return items[size_t(i)]; }
};

template <class T>
std::shared_ptr<T> tableWithColumn(const std::string& title) {
    auto t = std::make_shared<T>(Rect(0, 0, 700, 300));
    auto c = std::make_shared<kit::TableColumn>("Name");
    c->setTitle(title);
    c->setWidth(690);
    t->addTableColumn(c);
    return t;
}

// Counts notifications of one name while it lives.
struct Counter {
    explicit Counter(const char* name)
        : token(kit::NotificationCenter::defaultCenter().addObserver(name, nullptr, [this](const kit::Notification&) { ++n; })) {}
    ~Counter() { kit::NotificationCenter::defaultCenter().removeObserver(token); }
    int n = 0;
    kit::NotificationCenter::Token token;
};

TEST_F(UiTest, ListViewsGetTheSystemsHeaderCellsAndHeaderSizes) {
    auto custom = tableWithColumn<CustomTableView>("Volume");
    auto outline = tableWithColumn<NewOutlineView>("Name");
    auto plain = tableWithColumn<OVNSTableView>("File");
    for (kit::View* v : {static_cast<kit::View*>(custom.get()), static_cast<kit::View*>(outline.get()),
                         static_cast<kit::View*>(plain.get())})
        v->awakeFromNib();
    EXPECT_EQ(custom->headerView()->frame().size, (kit::Size{1000, 25}));
    EXPECT_EQ(outline->headerView()->frame().size, (kit::Size{1000, 30}));
    EXPECT_EQ(plain->headerView()->frame().size, (kit::Size{1000, 20}));
    auto* cell = dynamic_cast<CustomHeaderCell*>(custom->tableColumns()[0]->headerCell());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->stringValue(), "Volume");
    EXPECT_EQ(cell->font(), kit::Font::systemFont(12));
    EXPECT_EQ(cell->textColor(), kit::Color::rgb255(79, 79, 98, 0.8));
    EXPECT_TRUE(cell->ascending());
    EXPECT_EQ(cell->priority(), 1);
    EXPECT_NE(dynamic_cast<CustomHeaderCell*>(outline->tableColumns()[0]->headerCell()), nullptr);
    EXPECT_NE(dynamic_cast<CustomHeaderCell*>(plain->tableColumns()[0]->headerCell()), nullptr);

    // Drawn: white, the title from (x + 3, y + 8); the sort indicator can't be seen.
    auto host = std::make_shared<kit::TableHeaderView>(Rect(0, 0, 700, 25));
    host->setTableView(custom.get());
    kit::Bitmap bm = kit::renderView(*host);
    EXPECT_COLOR_NEAR(bm.pixel(2, 12), kit::Color::white(), 2);
    int firstInk = -1, topInk = -1;
    for (int y = 0; y < 25 && topInk < 0; ++y)
        for (int x = 0; x < 100; ++x)
            if (uitest::colorDistance(bm.pixel(x, y), kit::Color::white()) > 40) { topInk = y; break; }
    for (int x = 0; x < 100 && firstInk < 0; ++x)
        for (int y = 0; y < 25; ++y)
            if (uitest::colorDistance(bm.pixel(x, y), kit::Color::white()) > 40) { firstInk = x; break; }
    EXPECT_GE(firstInk, 3);
    EXPECT_LE(firstInk, 3 + 3);
    EXPECT_GE(topInk, 8 + 1);
    EXPECT_LE(topInk, 8 + 5);
    cell->setSortAscending(true, 0);   // priority 0: the indicator is white on white
    custom->tableColumns()[0]->setSortIndicatorAscending(true);
    kit::Bitmap withIndicator = kit::renderView(*host);
    EXPECT_COLOR_NEAR(withIndicator.pixel(int(custom->rectOfColumn(0).maxX()) - 8, 12), kit::Color::white(), 2);
}

TEST_F(UiTest, CustomTableViewDrawsDarkRowsAndItsSelectedRow) {
    Rows rows;
    auto t = tableWithColumn<CustomTableView>("Volume");
    t->setIntercellSpacing(kit::Size{0, 0});
    t->setRowHeight(56);
    t->setDataSource(&rows);
    t->reloadData();
    t->setSelectNum(1);
    kit::Bitmap bm = kit::renderView(*t);
    auto at = [&](double x, double y) { return bm.pixelAtPoint(Point{x, y}, true); };
    EXPECT_COLOR_NEAR(at(100, 20), kit::Color::rgb255(50, 50, 61), 2);
    // White at 10 % over the white table background stays white; over the
    // dark row colour it would be lighter. The selected row is not dark.
    EXPECT_GT(uitest::colorDistance(at(100, 56 + 20), kit::Color::rgb255(50, 50, 61)), 100);
    EXPECT_COLOR_NEAR(at(100, 112 + 20), kit::Color::rgb255(50, 50, 61), 2);
    EXPECT_COLOR_NEAR(at(4, 20), kit::Color::white(), 2);   // the rounded row starts at x 8
    EXPECT_COLOR_NEAR(at(100, 52), kit::Color::white(), 2);   // and is 48 high
    // A row number that matches no row: every row dark, nothing breaks.
    t->setSelectNum(7);
    bm = kit::renderView(*t);
    for (double y : {20.0, 76.0, 132.0}) EXPECT_COLOR_NEAR(at(100, y), kit::Color::rgb255(50, 50, 61), 2);
    t->setRowNum(-3);
    EXPECT_EQ(t->rowNum(), -3);
    t->selectRow(-7);
    kit::renderView(*t);
}

TEST_F(UiTest, NewOutlineViewHighlightsItsRowAndDrawingComesToAnEnd) {
    Rows rows;
    for (int i = 0; i < 3; ++i) rows.items.push_back(std::make_shared<int>(i));
    auto ov = tableWithColumn<NewOutlineView>("Name");
    ov->setIntercellSpacing(kit::Size{0, 0});
    ov->setRowHeight(30);
    ov->setDataSource(static_cast<kit::OutlineViewDataSource*>(&rows));
    ov->reloadData();
    ov->setRowNum(2);
    EXPECT_TRUE(ov->needsDisplay());
    kit::Bitmap bm = kit::renderView(*ov);
    EXPECT_COLOR_NEAR(bm.pixelAtPoint(Point{100, 75}, true), kit::Color::rgb255(237, 243, 253), 2);
    EXPECT_COLOR_NEAR(bm.pixelAtPoint(Point{100, 15}, true), kit::Color::white(), 2);
    // Drawing asks for no further drawing: displayIfNeeded ends.
    EXPECT_FALSE(ov->needsDisplay());
    ov->displayIfNeeded();
    EXPECT_FALSE(ov->needsDisplay());
    // Setting the same row again asks for nothing.
    ov->setRowNum(2);
    EXPECT_FALSE(ov->needsDisplay());
    ov->setRowNum(50);
    kit::renderView(*ov);
    EXPECT_FALSE(ov->needsDisplay());
}

TEST_F(UiTest, RightClicksReachTheListDelegateOrNobody) {
    struct Listener : CustomTableViewDelegate, NewOutlineViewDelegate {
        int n = 0;
        void listRightMouseDown(kit::Event&) override { ++n; }
    };
    struct Catcher : kit::View {
        using kit::View::View;
        int downs = 0, ups = 0;
        void rightMouseDown(kit::Event&) override { ++downs; }
        void rightMouseUp(kit::Event&) override { ++ups; }
    };
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 700, 300), kit::BorderlessWindowMask);
    auto under = std::make_shared<Catcher>(Rect(0, 0, 700, 300));
    w->setContentView(under);
    Rows rows;
    rows.items = {std::make_shared<int>(1)};
    auto t = tableWithColumn<CustomTableView>("Volume");
    t->setDataSource(&rows);
    t->reloadData();
    under->addSubview(t);
    w->makeKeyAndOrderFront();
    const Point inTable = uitest::centreInWindow(*t);
    ASSERT_EQ(w->hitTest(inTable), t.get());
    auto listener = std::make_shared<Listener>();
    uitest::send(*w, kit::EventType::RightMouseDown, inTable);
    uitest::send(*w, kit::EventType::RightMouseUp, inTable);
    EXPECT_EQ(under->downs, 0);   // without a delegate: nothing at all
    t->setListDelegate(listener);
    uitest::send(*w, kit::EventType::RightMouseDown, inTable);
    EXPECT_EQ(listener->n, 1);
    EXPECT_EQ(under->downs, 0);

    t->removeFromSuperview();
    auto ov = tableWithColumn<NewOutlineView>("Name");
    ov->setDataSource(static_cast<kit::OutlineViewDataSource*>(&rows));
    ov->reloadData();
    under->addSubview(ov);
    const Point inOutline = uitest::centreInWindow(*ov);
    ASSERT_EQ(w->hitTest(inOutline), ov.get());
    // The outline takes the release (the press goes up the chain as usual).
    const int upsBefore = under->ups;
    uitest::send(*w, kit::EventType::RightMouseDown, inOutline);
    uitest::send(*w, kit::EventType::RightMouseUp, inOutline);
    EXPECT_EQ(under->ups, upsBefore);
    ov->setADelegate(listener);
    uitest::send(*w, kit::EventType::RightMouseDown, inOutline);
    uitest::send(*w, kit::EventType::RightMouseUp, inOutline);
    EXPECT_EQ(listener->n, 2);
    // A delegate that went away is not called.
    listener.reset();
    uitest::send(*w, kit::EventType::RightMouseUp, inOutline);
}

TEST_F(UiTest, SpaceAndForceClickPostThePreviewNotification) {
    Rows rows;
    auto t = tableWithColumn<OVNSTableView>("File");
    t->setDataSource(&rows);
    t->reloadData();
    Counter previews(SpacePreviewFileNotification);
    kit::Event space;
    space.type = kit::EventType::KeyDown;
    space.keyCode = kit::KeyCodeSpace;
    t->keyDown(space);
    EXPECT_EQ(previews.n, 1);
    EXPECT_EQ(t->selectedRow(), -1);
    // Other keys are the table's: the down arrow selects.
    kit::Event down = space;
    down.keyCode = 125;
    t->keyDown(down);
    EXPECT_EQ(t->selectedRow(), 0);
    EXPECT_EQ(previews.n, 1);

    // Two force clicks within a second post once; stage 1 posts nothing.
    kit::Event press;
    press.type = kit::EventType::Pressure;
    press.stage = 1;
    t->pressureChangeWithEvent(press);
    EXPECT_EQ(previews.n, 1);
    press.stage = 2;
    t->pressureChangeWithEvent(press);
    t->pressureChangeWithEvent(press);
    EXPECT_EQ(previews.n, 2);
    EXPECT_TRUE(t->isClicking());
    // The mouse-up comes by itself a second later; then it may post again.
    EXPECT_TRUE(kit::runUntil([&] { return !t->isClicking(); }, 5.0));
    t->pressureChangeWithEvent(press);
    EXPECT_EQ(previews.n, 3);
    kit::Event up;
    up.type = kit::EventType::LeftMouseUp;
    t->mouseUp(up);
    EXPECT_FALSE(t->isClicking());
    // The delayed mouse-up dies with the table.
    t->pressureChangeWithEvent(press);
    t.reset();
    kit::runFor(1.2);
}

TEST_F(UiTest, OVNSTableViewPlaceholderIsBuiltOnceAndLabelHeightFollowsTheLanguage) {
    auto t = tableWithColumn<OVNSTableView>("File");
    t->changeNoValue(true);   // nothing shown: nothing to do
    EXPECT_EQ(t->noValueView(), nullptr);
    t->changeNoValue(false);
    kit::View* shown = t->noValueView();
    ASSERT_NE(shown, nullptr);
    t->changeNoValue(false);
    EXPECT_EQ(t->noValueView(), shown);
    EXPECT_EQ(std::count_if(t->subviews().begin(), t->subviews().end(), [&](auto& v) { return v.get() == shown; }), 1);
    EXPECT_EQ(t->nodeView()->frame(), Rect(t->frame().width() / 2 - 200, t->frame().height() / 2, 400, 50));
    EXPECT_EQ(shown->autoresizingMask(), unsigned(kit::ViewWidthSizable | kit::ViewHeightSizable));
    t->changeNoValue(true);
    EXPECT_EQ(t->noValueView(), nullptr);
    EXPECT_TRUE(t->subviews().empty());

    kit::Value saved = kit::UserDefaults::standard().objectForKey("AppleLanguages");
    kit::UserDefaults::standard().setObject("AppleLanguages", kit::Value(kit::Value::Array{"en", "de"}));
    EXPECT_EQ(OVNSTableView::getLableHight(), 25);
    for (const char* lang : {"de", "fr", "es", "it", "pt-BR"}) {
        kit::UserDefaults::standard().setObject("AppleLanguages", kit::Value(kit::Value::Array{lang}));
        EXPECT_EQ(OVNSTableView::getLableHight(), 40) << lang;
    }
    kit::UserDefaults::standard().setObject("AppleLanguages", kit::Value(kit::Value::Array{"pt-PT"}));
    EXPECT_EQ(OVNSTableView::getLableHight(), 25);
    kit::UserDefaults::standard().setObject("AppleLanguages", saved);
}

// An 18-point red square, drawn into an image.
std::shared_ptr<kit::Image> redSquare(double side) {
    auto img = kit::Image::withSize(kit::Size{side, side});
    img->drawInto([&] {
        kit::Color(1, 0, 0, 1).setFill();
        kit::BezierPath::fillRect(Rect(0, 0, side, side));
    });
    return img;
}

class CellHost : public kit::View {
public:
    CellHost(const Rect& f, kit::Cell& c, bool flipped) : kit::View(f), cell_(c), flipped_(flipped) {}
    bool isFlipped() const override { return flipped_; }
    void drawRect(const Rect&) override { cell_.drawWithFrame(Rect(0, 0, 200, 30), *this); }
private:
    kit::Cell& cell_;
    bool flipped_;
};

TEST_F(UiTest, ImageAndTextCellsPlaceTheirIconInsideTheCell) {
    ImageAndTextCell cell;
    EXPECT_EQ(cell.imageFrameForCellFrame(Rect(10, 10, 100, 30)), Rect());
    cell.setStringValue("Documents");
    kit::Size plain = cell.cellSize();
    EXPECT_DOUBLE_EQ(plain.width, cell.font().sizeOfString("Documents").width + 4 + 3);
    auto img = redSquare(18);
    cell.setImage(img);
    cell.setImage(img);
    EXPECT_EQ(cell.image(), img);
    EXPECT_DOUBLE_EQ(cell.cellSize().width, plain.width + 18);
    EXPECT_EQ(cell.imageFrameForCellFrame(Rect(10, 10, 100, 31)), Rect(13, 10 + 7, 18, 18));
    // In a flipped 30-point row: from (3, -17 + ceil(48 / 2)) = (3, 7).
    EXPECT_EQ(cell.drawnImageRectForFrame(Rect(0, 0, 21, 30), true), Rect(3, 7, 18, 18));
    for (bool flipped : {true, false}) {
        auto host = std::make_shared<CellHost>(Rect(0, 0, 200, 30), cell, flipped);
        kit::Bitmap bm = kit::renderView(*host);
        // Seen from the top either way: rows 7..24, columns 3..20 are red.
        EXPECT_COLOR_NEAR(bm.pixel(4, 8), kit::Color(1, 0, 0, 1), 2);
        EXPECT_COLOR_NEAR(bm.pixel(19, 23), kit::Color(1, 0, 0, 1), 2);
        EXPECT_EQ(bm.pixel(4, 5).alpha, 0) << flipped;
    }

    LagImageATextCell lag;
    lag.setStringValue("Music");
    double textHeight = lag.font().sizeOfString("Music").height;
    EXPECT_DOUBLE_EQ(lag.titleRectForBounds(Rect(0, 100, 200, 40)).y(), 100 - 2 + (40 - textHeight) / 2);
    EXPECT_EQ(lag.drawnImageRectForFrame(Rect(0, 0, 23, 30), true), Rect(0, 4, 20, 20));
    EXPECT_DOUBLE_EQ(lag.cellSize().width, lag.font().sizeOfString("Music").width + 4 + 3);
    // Layout files name both.
    EXPECT_NE(dynamic_cast<LagImageATextCell*>(kit::makeCellOfClass("LagImageATextCell").get()), nullptr);
    EXPECT_NE(dynamic_cast<ImageAndTextCell*>(kit::makeCellOfClass("ImageAndTextCell").get()), nullptr);
}

TEST_F(UiTest, CommOutlineViewServesACopyOfItsArray) {
    auto ov = tableWithColumn<CommOutlineView>("Name");
    kit::Value::Array data{kit::Value("a"), kit::Value(kit::Value::Array{kit::Value("b1"), kit::Value("b2")}),
                           kit::Value("c")};
    ov->loadDataFormDetail(data, 7);
    data.clear();   // the caller's array changes: the outline keeps its copy
    EXPECT_EQ(ov->dataType(), 7);
    ASSERT_EQ(ov->numberOfRows(), 3);
    EXPECT_EQ(CommOutlineView::valueOfItem(ov->itemAtRow(2)).asString(), "c");
    kit::OutlineItem array = ov->itemAtRow(1);
    EXPECT_EQ(ov->numberOfChildrenOfItem(*ov, array), 2);
    EXPECT_EQ(CommOutlineView::valueOfItem(ov->child(*ov, 1, array)).asString(), "b2");
    EXPECT_EQ(ov->child(*ov, 2, array), nullptr);
    EXPECT_EQ(ov->child(*ov, 5, nullptr), nullptr);
    EXPECT_EQ(ov->numberOfChildrenOfItem(*ov, ov->itemAtRow(0)), 0);
    EXPECT_FALSE(ov->isExpandable(array));

    // Selection: arrows select and stop the refresh timer; selection changes reset selectedRow.
    auto timer = kit::Timer::scheduled(60, false, [](kit::Timer&) {});
    ov->setRefreshTimer(timer);
    ov->setViewLoadCnt(5);
    kit::Event down;
    down.type = kit::EventType::KeyDown;
    down.keyCode = 125;
    ov->keyDown(down);
    EXPECT_EQ(ov->kit::TableView::selectedRow(), 0);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(ov->refreshTimer(), nullptr);
    EXPECT_EQ(ov->viewLoadCnt(), 0u);
    EXPECT_EQ(ov->selectedRow(), -1);
    EXPECT_TRUE(ov->shouldEditTableColumn(nullptr, nullptr));
}

TEST_F(UiTest, OverlayScrollerStaysBelowTheHeaderAndDimsAfterAScroll) {
    auto table = tableWithColumn<CustomTableView>("Volume");
    Rows rows;
    rows.n = 40;
    table->setDataSource(&rows);
    auto sv = std::make_shared<RFOverlayScrollView>(Rect(0, 0, 700, 300));
    sv->setHasVerticalScroller(true);
    auto scroller = std::make_shared<RFOverlayScroller>(Rect(0, 0, 15, 15));
    sv->setVerticalScroller(scroller);
    sv->setDocumentView(table);
    table->reloadData();
    sv->awakeFromNib();
    EXPECT_EQ(sv->headerOffset(), 25);
    EXPECT_EQ(scroller->frame(), Rect(700 - 15, 25, 15, 300 - 25));
    EXPECT_EQ(sv->contentView()->frame().width(), 700);   // the content keeps the full width
    EXPECT_EQ(sv->subviews().back().get(), scroller.get());   // above every sibling
    // Only the class itself is an overlay scroller.
    struct Sub : RFOverlayScroller {};
    EXPECT_TRUE(scroller->isCompatibleWithOverlayScrollers());
    EXPECT_FALSE(Sub().isCompatibleWithOverlayScrollers());
    EXPECT_EQ(RFOverlayScroller::scrollerWidthForControlSize(kit::ControlSize::Regular, kit::ScrollerStyle::Legacy), 15);

    // Opaque at first; a scroll dims it to half and it stays there.
    EXPECT_EQ(scroller->alphaValue(), 1.0);
    sv->scrollPoint(Point{0, 200});
    EXPECT_TRUE(kit::runUntil([&] { return std::abs(scroller->alphaValue() - 0.5) < 1e-6; }, 5.0));
    kit::runFor(1.8);   // the fade 1.5 s later keeps it at half
    EXPECT_DOUBLE_EQ(scroller->alphaValue(), 0.5);

    // One tracking area, entered/exited/moved while active, following the bounds.
    scroller->awakeFromNib();
    ASSERT_EQ(scroller->trackingAreas().size(), 1u);
    EXPECT_EQ(scroller->trackingArea()->options() & 0xffu, 0x43u);
    EXPECT_TRUE(scroller->trackingArea()->options() & kit::TrackingInVisibleRect);
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 700, 300), kit::BorderlessWindowMask);
    w->contentView()->addSubview(sv);
    w->makeKeyAndOrderFront();
    scroller->setAlphaValue(1.0);
    // Low in the scroller, outside the 15 × 15 rectangle it was made with:
    // the entry dims it over half a second, a movement at once.
    const Point low = scroller->convertPointToView(Point{7, 250}, nullptr);
    uitest::send(*w, kit::EventType::MouseMoved, low);
    EXPECT_GT(scroller->alphaValue(), 0.5);
    uitest::send(*w, kit::EventType::MouseMoved, Point{low.x, low.y + 1});
    EXPECT_DOUBLE_EQ(scroller->alphaValue(), 0.5);
}

TEST_F(UiTest, OverlayScrollViewWithoutATableGivesTheScrollerTheFullHeight) {
    auto sv = std::make_shared<RFOverlayScrollView>(Rect(0, 0, 300, 200));
    sv->setHasVerticalScroller(true);
    sv->setVerticalScroller(std::make_shared<RFOverlayScroller>());
    sv->setDocumentView(std::make_shared<kit::View>(Rect(0, 0, 300, 600)));
    sv->awakeFromNib();
    EXPECT_EQ(sv->headerOffset(), 0);
    EXPECT_EQ(sv->verticalScroller()->frame(), Rect(285, 0, 15, 200));
    // A headerless table: the full height too.
    auto table = std::make_shared<kit::TableView>(Rect(0, 0, 300, 600));
    table->setHeaderView(nullptr);
    sv->setDocumentView(table);
    EXPECT_EQ(sv->tableHeaderOffsetFromSuperview(), 0);
}

}  // namespace
