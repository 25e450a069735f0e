// The window button group: its registry, its count and its notification,
// and the images of the buttons that share it.
#include "Comm/TCImageWindow.h"
#include "Comm/TCWindowButton.h"
#include "Comm/TCWindowButtonGroup.h"
#include "UiTest.h"
#include "kit/Notification.h"

namespace {

using kit::Rect;
using uitest::UiTest;

TEST_F(UiTest, GroupsAreOnePerIdentifierAndNotifyOnRealChanges) {
    TCWindowButtonGroup& a = TCWindowButtonGroup::groupWithIdentifier(std::string("g-registry"));
    EXPECT_EQ(&a, &TCWindowButtonGroup::groupWithIdentifier(std::string("g-registry")));
    EXPECT_EQ(&TCWindowButtonGroup::groupWithIdentifier(std::nullopt), &TCWindowButtonGroup::groupWithIdentifier(std::nullopt));
    EXPECT_EQ(TCWindowButtonGroup::groupWithIdentifier(std::nullopt).identifier(), TCWindowButtonGroup::defaultIdentifier());
    EXPECT_NE(&a, &TCWindowButtonGroup::groupWithIdentifier(std::nullopt));

    int posts = 0;
    auto token = kit::NotificationCenter::defaultCenter().addObserver(
        TCWindowButtonGroupDidUpdateRolloverStateNotification, &a, [&](const kit::Notification&) { ++posts; });
    a.didCaptureMousePointer();
    EXPECT_TRUE(a.shouldDisplayRollOver());
    a.setNumberOfCaptures(1);    // unchanged
    a.setNumberOfCaptures(-2);   // negative
    a.didReleaseMousePointer();
    a.didReleaseMousePointer();  // would go below zero
    EXPECT_EQ(a.numberOfCaptures(), 0);
    a.setNumberOfCaptures(3);
    a.resetMouseCaptures();
    kit::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(posts, 4);
    EXPECT_FALSE(a.shouldDisplayRollOver());
}

TEST_F(UiTest, EnteringOneButtonShowsTheRolloverOnTheEnabledButtonsOfItsGroup) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 100), kit::TitledWindowMask);
    auto active = kit::Image::named("btn_pri");
    auto notKey = kit::Image::named("btn_sec");
    auto inactive = kit::Image::named("btn_cancel");
    auto rollover = kit::Image::named("btn_tool");
    std::vector<std::shared_ptr<TCWindowButton>> buttons;
    for (int i = 0; i < 3; ++i) {
        auto b = TCWindowButton::windowButtonWithSize({14, 16}, std::string("g-rollover"));
        b->activeImage = active;
        b->activeNotKeyWindowImage = notKey;
        b->inactiveImage = inactive;
        b->rolloverImage = rollover;
        b->setFrameOrigin({10.0 + 40 * i, 50});
        w->contentView()->addSubview(b);
        buttons.push_back(b);
    }
    EXPECT_EQ(buttons[0]->mouseTrackingArea()->rect(), Rect(-4, -4, 22, 24));
    buttons[2]->setEnabled(false);
    EXPECT_EQ(buttons[2]->image(), inactive);
    EXPECT_EQ(buttons[0]->image(), notKey);   // the window is not key
    w->makeKeyAndOrderFront();
    EXPECT_EQ(buttons[0]->image(), active);

    uitest::send(*w, kit::EventType::MouseMoved, uitest::centreInWindow(*buttons[0]));
    EXPECT_EQ(buttons[0]->image(), rollover);
    EXPECT_EQ(buttons[1]->image(), rollover);
    EXPECT_EQ(buttons[2]->image(), inactive);   // a disabled button never rolls over
    uitest::send(*w, kit::EventType::MouseMoved, {250, 10});
    EXPECT_EQ(buttons[0]->image(), active);
    EXPECT_EQ(buttons[1]->image(), active);
    EXPECT_EQ(TCWindowButtonGroup::groupWithIdentifier(std::string("g-rollover")).numberOfCaptures(), 0);

    // Full screen and the end of a live resize clear the count.
    auto& g = TCWindowButtonGroup::groupWithIdentifier(std::string("g-rollover"));
    g.setNumberOfCaptures(2);
    buttons[0]->viewDidEndLiveResize();
    EXPECT_EQ(g.numberOfCaptures(), 0);
    g.setNumberOfCaptures(2);
    w->toggleFullScreen();
    EXPECT_EQ(g.numberOfCaptures(), 0);
    EXPECT_TRUE(buttons[1]->isHidden());
    w->toggleFullScreen();
    EXPECT_FALSE(buttons[1]->isHidden());
    // Leaving the window's key state shows the not-key image again.
    auto other = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    other->makeKeyAndOrderFront();
    EXPECT_EQ(buttons[1]->image(), notKey);
}

}  // namespace
