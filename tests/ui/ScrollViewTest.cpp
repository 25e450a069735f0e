// Scroll views: tiling by scroller style and header, scrolling by code, wheel
// and scroller, following the document's size, layout files, re-sorting.
#include "UiTest.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Layout.h"
#include "kit/ui/ScrollView.h"

namespace {

using kit::Point;
using kit::Rect;
using uitest::UiTest;

class FlippedDoc : public kit::View {
public:
    using kit::View::View;
    bool isFlipped() const override { return true; }
};

// A document with a header, as a table brings one.
class HeaderedDoc : public FlippedDoc, public kit::ScrollDocument {
public:
    using FlippedDoc::FlippedDoc;
    std::shared_ptr<kit::View> header = std::make_shared<kit::View>(Rect(0, 0, 300, 25));
    std::shared_ptr<kit::View> scrollHeaderView() override { return header; }
    void documentVisibleRectDidChange(const Rect& r) override { visible.push_back(r); }
    std::vector<Rect> visible;
};

// Bands of colour 50 points high: red, green, blue, ...
class Bands : public FlippedDoc {
public:
    using FlippedDoc::FlippedDoc;
    void drawRect(const Rect&) override {
        const kit::Color colors[] = {kit::Color(1, 0, 0, 1), kit::Color(0, 1, 0, 1), kit::Color(0, 0, 1, 1)};
        for (int i = 0; i * 50 < bounds().height(); ++i) {
            colors[i % 3].setFill();
            kit::BezierPath::fillRect(Rect(0, i * 50, bounds().width(), 50));
        }
    }
};

class CountingScroller : public kit::Scroller {
public:
    using kit::Scroller::Scroller;
    void setFloatValue(float v) override {
        values.push_back(v);
        kit::Scroller::setFloatValue(v);
    }
    std::vector<float> values;
};

std::shared_ptr<kit::ScrollView> makeScrollView(std::shared_ptr<kit::View> doc, Rect frame = Rect(0, 0, 200, 100)) {
    auto sv = std::make_shared<kit::ScrollView>(frame);
    sv->setHasVerticalScroller(true);
    sv->setDocumentView(std::move(doc));
    return sv;
}

kit::Event wheel(kit::Window& w, Point p, double deltaY) {
    kit::Event e = uitest::mouseEvent(w, kit::EventType::ScrollWheel, p);
    e.deltaY = deltaY;
    return e;
}

TEST_F(UiTest, ScrollViewTilesByStyleAutohidingAndHeader) {
    auto doc = std::make_shared<FlippedDoc>(Rect(0, 0, 185, 400));
    auto sv = makeScrollView(doc);
    // Legacy: the scroller takes its 15 points from the content.
    EXPECT_EQ(sv->contentView()->frame(), Rect(0, 0, 185, 100));
    EXPECT_EQ(sv->verticalScroller()->frame(), Rect(185, 0, 15, 100));
    EXPECT_FALSE(sv->verticalScroller()->isHidden());
    // Overlay: the content keeps the full width, the scroller lies over it.
    sv->setScrollerStyle(kit::ScrollerStyle::Overlay);
    EXPECT_EQ(sv->contentView()->frame(), Rect(0, 0, 200, 100));
    EXPECT_EQ(sv->verticalScroller()->frame(), Rect(185, 0, 15, 100));
    sv->setScrollerStyle(kit::ScrollerStyle::Legacy);
    // Autohiding: a document that fits needs no scroller, and gets it back when it grows.
    sv->setAutohidesScrollers(true);
    doc->setFrameSize(kit::Size{185, 80});
    EXPECT_TRUE(sv->verticalScroller()->isHidden());
    EXPECT_EQ(sv->contentView()->frame().width(), 200);
    doc->setFrameSize(kit::Size{185, 500});
    EXPECT_FALSE(sv->verticalScroller()->isHidden());
    EXPECT_EQ(sv->contentView()->frame().width(), 185);
    EXPECT_DOUBLE_EQ(sv->verticalScroller()->knobProportion(), 100.0 / 500.0);
    // Resizing the scroll view tiles again.
    sv->setFrame(Rect(0, 0, 300, 250));
    EXPECT_EQ(sv->contentView()->frame(), Rect(0, 0, 285, 250));

    // A document with a header: the header sits on top in its own clip view,
    // the content and the scroller below it; a taller header tiles again.
    auto table = std::make_shared<HeaderedDoc>(Rect(0, 0, 300, 1000));
    auto tsv = makeScrollView(table, Rect(0, 0, 300, 200));
    ASSERT_NE(tsv->headerClipView(), nullptr);
    EXPECT_EQ(tsv->headerClipView()->frame(), Rect(0, 0, 285, 25));
    EXPECT_EQ(tsv->contentView()->frame(), Rect(0, 25, 285, 175));
    EXPECT_EQ(tsv->verticalScroller()->frame(), Rect(285, 25, 15, 175));
    table->header->setFrameSize(kit::Size{300, 30});
    EXPECT_EQ(tsv->contentView()->frame(), Rect(0, 30, 285, 170));
    tsv->setDocumentView(std::make_shared<FlippedDoc>(Rect(0, 0, 10, 10)));
    EXPECT_EQ(tsv->headerClipView(), nullptr);
}

TEST_F(UiTest, ScrollingKeepsTheVisibleRectInsideTheDocumentAndMovesTheKnob) {
    auto doc = std::make_shared<HeaderedDoc>(Rect(0, 0, 185, 400));
    doc->header.reset();
    auto scroller = std::make_shared<CountingScroller>();
    auto sv = std::make_shared<kit::ScrollView>(Rect(0, 0, 200, 100));
    sv->setHasVerticalScroller(true);
    sv->setVerticalScroller(scroller);
    sv->setDocumentView(doc);
    EXPECT_EQ(sv->documentVisibleRect(), Rect(0, 0, 185, 100));
    EXPECT_TRUE(scroller->values.empty());   // nothing scrolled yet

    sv->scrollPoint(Point{0, 150});
    EXPECT_EQ(sv->documentVisibleRect(), Rect(0, 150, 185, 100));
    EXPECT_DOUBLE_EQ(scroller->doubleValue(), 0.5);
    EXPECT_EQ(doc->visible.back(), Rect(0, 150, 185, 100));
    // Beyond either end the view stops at the end.
    sv->scrollPoint(Point{0, 10000});
    EXPECT_EQ(sv->documentVisibleRect().y(), 300);
    EXPECT_DOUBLE_EQ(scroller->doubleValue(), 1.0);
    sv->scrollPoint(Point{0, -50});
    EXPECT_EQ(sv->documentVisibleRect().y(), 0);
    EXPECT_EQ(scroller->values, (std::vector<float>{0.5f, 1.0f, 0.0f}));

    // The document shrinking under a scrolled view pulls the view back in.
    sv->scrollPoint(Point{0, 300});
    doc->setFrameSize(kit::Size{185, 250});
    EXPECT_EQ(sv->documentVisibleRect(), Rect(0, 150, 185, 100));
    EXPECT_DOUBLE_EQ(scroller->doubleValue(), 1.0);
    // A hit test follows the scrolled content.
    auto mark = std::make_shared<kit::View>(Rect(10, 160, 20, 20));
    doc->addSubview(mark);
    EXPECT_EQ(sv->hitTest(Point{15, 15}), mark.get());
}

TEST_F(UiTest, ScrolledContentIsDrawnClippedAndShifted) {
    auto sv = makeScrollView(std::make_shared<Bands>(Rect(0, 0, 185, 300)), Rect(0, 0, 200, 100));
    sv->scrollPoint(Point{0, 75});   // rows 75..175: green to 100, blue to 150, red below
    kit::Bitmap bm = kit::renderView(*sv);
    EXPECT_COLOR_NEAR(bm.pixelAtPoint(Point{50, 10}, true), kit::Color(0, 1, 0, 1), 2);
    EXPECT_COLOR_NEAR(bm.pixelAtPoint(Point{50, 40}, true), kit::Color(0, 0, 1, 1), 2);
    EXPECT_COLOR_NEAR(bm.pixelAtPoint(Point{50, 90}, true), kit::Color(1, 0, 0, 1), 2);
    // The scroller's track, not the document, at the right edge.
    EXPECT_NE(bm.pixelAtPoint(Point{195, 5}, true), kit::Color(0, 1, 0, 1));
}

TEST_F(UiTest, AnUnflippedDocumentScrollsFromItsTopEdge) {
    auto doc = std::make_shared<kit::View>(Rect(0, 0, 185, 400));
    auto top = std::make_shared<kit::View>(Rect(0, 380, 185, 20));   // the first line, y up
    doc->addSubview(top);
    auto sv = makeScrollView(doc);
    // Set as the document, it shows its top edge, with the knob at the top.
    EXPECT_EQ(sv->documentVisibleRect(), Rect(0, 300, 185, 100));
    EXPECT_DOUBLE_EQ(sv->verticalScroller()->doubleValue(), 0.0);
    EXPECT_EQ(sv->hitTest(Point{10, 5}), top.get());
    // Its origin is its bottom edge.
    sv->scrollPoint(Point{0, 0});
    EXPECT_DOUBLE_EQ(sv->verticalScroller()->doubleValue(), 1.0);
    sv->scrollToTop();
    EXPECT_EQ(sv->documentVisibleRect().y(), 300);
}

TEST_F(UiTest, WheelAndScrollerScrollTheDocument) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 300), kit::BorderlessWindowMask);
    auto doc = std::make_shared<FlippedDoc>(Rect(0, 0, 185, 1000));
    auto sv = makeScrollView(doc, Rect(50, 50, 200, 100));
    sv->setVerticalLineScroll(10);
    w->contentView()->addSubview(sv);
    w->orderFront();
    const Point inside{100, 100};

    // One notch down (15 degrees, negative) scrolls three lines of 10 points.
    kit::Event e = wheel(*w, inside, -15);
    kit::Application::shared().sendEvent(e);
    EXPECT_EQ(sv->documentVisibleRect().y(), 30);
    e = wheel(*w, inside, 30);
    kit::Application::shared().sendEvent(e);
    EXPECT_EQ(sv->documentVisibleRect().y(), 0);

    // Paging from the slot below the knob, then dragging the knob to the end.
    kit::Scroller* s = sv->verticalScroller();
    Rect below = s->rectForPart(kit::ScrollerPart::IncrementPage);
    Point pagePoint = s->convertPointToView(Point{below.midX(), below.midY()}, nullptr);
    uitest::send(*w, kit::EventType::LeftMouseDown, pagePoint);
    uitest::send(*w, kit::EventType::LeftMouseUp, pagePoint);
    EXPECT_EQ(sv->documentVisibleRect().y(), 90);   // a page less the 10-point overlap
    Rect knob = s->rectForPart(kit::ScrollerPart::Knob);
    Point grab = s->convertPointToView(Point{knob.midX(), knob.midY()}, nullptr);
    uitest::send(*w, kit::EventType::LeftMouseDown, grab);
    uitest::send(*w, kit::EventType::LeftMouseDragged, Point{grab.x, grab.y - 500});
    uitest::send(*w, kit::EventType::LeftMouseUp, Point{grab.x, grab.y - 500});
    EXPECT_EQ(sv->documentVisibleRect().y(), 900);
    EXPECT_DOUBLE_EQ(s->doubleValue(), 1.0);

    // A document that fits leaves the wheel to the views around it.
    struct Catcher : kit::View {
        using kit::View::View;
        int wheels = 0;
        void scrollWheel(kit::Event&) override { ++wheels; }
    };
    auto outer = std::make_shared<Catcher>(Rect(0, 0, 300, 300));
    w->setContentView(outer);
    auto small = makeScrollView(std::make_shared<FlippedDoc>(Rect(0, 0, 100, 50)), Rect(50, 50, 200, 100));
    outer->addSubview(small);
    e = wheel(*w, inside, -15);
    kit::Application::shared().sendEvent(e);
    EXPECT_EQ(outer->wheels, 1);
}

class ScrollOwner : public kit::LayoutOwner {
public:
    ScrollOwner() {
        declareOutlet("scroll", scroll);
        declareOutlet("list", list);
    }
    std::shared_ptr<kit::ScrollView> scroll;
    std::shared_ptr<kit::View> list;
};

TEST_F(UiTest, LayoutFilesMakeScrollViewsWithTheirDocument) {
    ScrollOwner o;
    kit::loadLayoutFromJson(R"({ "view": { "frame": [0, 0, 400, 300], "subviews": [
        { "class": "ScrollView", "frame": [10, 10, 300, 200], "outlet": "scroll",
          "hasVerticalScroller": true, "autohidesScrollers": true, "scrollerStyle": "overlay",
          "drawsBackground": true, "backgroundColor": [250, 250, 250], "verticalLineScroll": 20,
          "subviews": [ { "class": "View", "frame": [0, 0, 300, 600], "outlet": "list" },
                        { "class": "Scroller" } ] } ] } })",
                            "Scrolls", o);
    ASSERT_TRUE(o.scroll && o.list);
    EXPECT_EQ(o.scroll->documentView(), o.list.get());
    EXPECT_EQ(o.list->superview(), o.scroll->contentView());
    EXPECT_EQ(o.scroll->effectiveScrollerStyle(), kit::ScrollerStyle::Overlay);
    EXPECT_FALSE(o.scroll->verticalScroller()->isHidden());
    EXPECT_EQ(o.scroll->verticalLineScroll(), 20);
    EXPECT_EQ(o.scroll->backgroundColor(), kit::Color::rgb255(250, 250, 250));
    EXPECT_EQ(o.scroll->contentView()->frame(), Rect(0, 0, 300, 200));
    // One scroller: the file's own took the default's place.
    int scrollers = 0;
    for (auto& s : o.scroll->subviews()) scrollers += dynamic_cast<kit::Scroller*>(s.get()) != nullptr;
    EXPECT_EQ(scrollers, 1);
    EXPECT_TRUE(kit::isRegisteredClass("ClipView"));
}

TEST_F(UiTest, SortingSubviewsIsStableAndRestacks) {
    auto parent = std::make_shared<kit::View>(Rect(0, 0, 100, 100));
    std::vector<std::shared_ptr<kit::View>> views;
    for (int i = 0; i < 5; ++i) {
        views.push_back(std::make_shared<kit::View>(Rect(0, 0, 100, 100)));
        views.back()->setTag(i % 2 ? 1 : 0);   // tags 0 1 0 1 0
        parent->addSubview(views.back());
    }
    // Tag 1 above tag 0; equal tags keep their order.
    kit::sortSubviews(*parent, [](const kit::View& a, const kit::View& b) { return a.tag() < b.tag(); });
    std::vector<kit::View*> order;
    for (auto& s : parent->subviews()) order.push_back(s.get());
    EXPECT_EQ(order, (std::vector<kit::View*>{views[0].get(), views[2].get(), views[4].get(), views[1].get(),
                                              views[3].get()}));
    EXPECT_EQ(parent->hitTest(Point{50, 50}), views[3].get());
}

}  // namespace
