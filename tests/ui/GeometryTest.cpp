// Frames in the platform's convention against the Qt geometry behind them.
#include <QWidget>

#include "UiTest.h"
#include "kit/Notification.h"
#include "kit/ui/QtBridge.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class FlippedView : public kit::View {
public:
    using kit::View::View;
    bool isFlipped() const override { return true; }
};

TEST_F(UiTest, FramesMapToQtGeometryInUnflippedAndFlippedParents) {
    auto parent = std::make_shared<kit::View>(Rect(0, 0, 200, 100));
    auto child = std::make_shared<kit::View>(Rect(10, 20, 30, 40));
    parent->addSubview(child);
    // y up: the child's top edge is 100 - 20 - 40 = 40 pixels below the parent's top.
    EXPECT_EQ(kit::qtGeometry(*child), QRect(10, 40, 30, 40));

    auto flipped = std::make_shared<FlippedView>(Rect(0, 0, 200, 100));
    auto child2 = std::make_shared<kit::View>(Rect(10, 20, 30, 40));
    flipped->addSubview(child2);
    EXPECT_EQ(kit::qtGeometry(*child2), QRect(10, 20, 30, 40));

    // Moving a child between the two keeps its frame and changes its pixels.
    flipped->addSubview(child);
    EXPECT_EQ(child->superview(), flipped.get());
    EXPECT_EQ(kit::qtGeometry(*child), QRect(10, 20, 30, 40));
    EXPECT_EQ(parent->subviews().size(), 0u);
}

TEST_F(UiTest, ParentResizeKeepsChildrenWhereTheirMasksSay) {
    auto parent = std::make_shared<kit::View>(Rect(0, 0, 200, 100));
    auto fixed = std::make_shared<kit::View>(Rect(10, 10, 20, 20));              // hangs from the bottom
    auto top = std::make_shared<kit::View>(Rect(10, 70, 20, 20));                // keeps its distance to the top
    top->setAutoresizingMask(kit::ViewMinYMargin);
    auto fill = std::make_shared<kit::View>(Rect(0, 0, 200, 100));
    fill->setAutoresizingMask(kit::ViewWidthSizable | kit::ViewHeightSizable);
    auto right = std::make_shared<kit::View>(Rect(170, 0, 30, 10));              // stays on the right edge
    right->setAutoresizingMask(kit::ViewMinXMargin);
    for (auto& v : {fixed, top, fill, right}) parent->addSubview(v);

    parent->setFrameSize(kit::Size{300, 160});
    EXPECT_EQ(fixed->frame(), Rect(10, 10, 20, 20));
    EXPECT_EQ(kit::qtGeometry(*fixed), QRect(10, 130, 20, 20));   // the parent grew upward
    EXPECT_EQ(top->frame(), Rect(10, 130, 20, 20));
    EXPECT_EQ(kit::qtGeometry(*top), QRect(10, 10, 20, 20));
    EXPECT_EQ(fill->frame(), Rect(0, 0, 300, 160));
    EXPECT_EQ(right->frame(), Rect(270, 0, 30, 10));
}

TEST_F(UiTest, PointConversionsFollowFlippednessAndBoundsOrigin) {
    auto root = std::make_shared<kit::View>(Rect(0, 0, 400, 300));
    auto a = std::make_shared<kit::View>(Rect(50, 60, 100, 80));
    auto b = std::make_shared<FlippedView>(Rect(10, 10, 50, 40));
    root->addSubview(a);
    a->addSubview(b);
    kit::Point p = b->convertPointToView(kit::Point{0, 0}, root.get());   // b's top-left corner
    EXPECT_EQ(p, (kit::Point{60, 110}));
    EXPECT_EQ(b->convertPointFromView(kit::Point{60, 110}, root.get()), (kit::Point{0, 0}));
    kit::Point q = b->convertPointToView(kit::Point{5, 30}, a.get());
    EXPECT_EQ(q, (kit::Point{15, 20}));

    a->setBoundsOrigin(kit::Point{5, 5});
    EXPECT_EQ(b->convertPointToView(kit::Point{0, 0}, root.get()), (kit::Point{55, 105}));
    EXPECT_EQ(kit::qtGeometry(*b), QRect(5, 35, 50, 40));
}

TEST_F(UiTest, HitTestingFindsTheTopmostVisibleView) {
    auto win = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::BorderlessWindowMask);
    auto under = std::make_shared<kit::View>(Rect(0, 0, 100, 100));
    auto over = std::make_shared<kit::View>(Rect(50, 50, 100, 100));
    win->contentView()->addSubview(under);
    win->contentView()->addSubview(over);
    EXPECT_EQ(win->hitTest({60, 60}), over.get());
    EXPECT_EQ(win->hitTest({10, 10}), under.get());
    over->setHidden(true);
    EXPECT_EQ(win->hitTest({60, 60}), under.get());
    // Reordering below puts it under its sibling.
    over->setHidden(false);
    win->contentView()->addSubview(over, kit::WindowOrderingMode::Below, under.get());
    EXPECT_EQ(win->hitTest({60, 60}), under.get());
    EXPECT_EQ(win->hitTest({120, 120}), over.get());
}

TEST_F(UiTest, FrameChangesPostTheFrameNotificationOnlyWhenAsked) {
    auto v = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    int posts = 0;
    auto token = kit::NotificationCenter::defaultCenter().addObserver(kit::ViewFrameDidChangeNotification, v.get(),
                                                                       [&](const kit::Notification&) { ++posts; });
    v->setFrame(Rect(0, 0, 20, 10));
    v->setFrame(Rect(0, 0, 20, 10));   // unchanged: no notification
    v->setPostsFrameChangedNotifications(false);
    v->setFrame(Rect(1, 0, 20, 10));
    kit::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(posts, 1);
}

}  // namespace
