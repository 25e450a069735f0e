// The update window's feature list scrolls: a long list opens at its first
// line and can be scrolled to its last; a short one needs no scroller.
#include <gtest/gtest.h>

#include "ToolWind/OVCheckUpdateWindowController.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/Render.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/TextField.h"

namespace {

std::shared_ptr<OVCheckUpdateWindowController> settledUpdateWindow() {
    kit::ensureUiApp();
    auto c = std::make_shared<OVCheckUpdateWindowController>();
    EXPECT_NE(c->window(), nullptr);
    // Its own check finds no network here; wait so that it can't land later.
    EXPECT_TRUE(kit::runUntil([&] { return !c->noNetworkView()->isHidden(); }, 15.0));
    return c;
}

kit::Value listOf(int lines) {
    kit::Value v = kit::Value::dict();
    v.set("Version", "4.0");
    v.set("VersionCheck", "40");
    for (int i = 1; i <= lines; ++i) v.set(std::to_string(i), "Feature number " + std::to_string(i));
    return v;
}

// The feature line `y` points below the scroll view's top edge (its
// superview counts upwards).
std::string lineAt(kit::ScrollView& sv, double y) {
    kit::View* hit = sv.hitTest(kit::Point{sv.frame().x() + 100, sv.frame().maxY() - y});
    auto* t = dynamic_cast<kit::TextField*>(hit);
    return t ? t->stringValue() : std::string();
}

TEST(UpdateFeatureList, ALongListOpensAtItsFirstLineAndScrollsToItsLast) {
    auto c = settledUpdateWindow();
    kit::ScrollView* sv = c->changeValueScrollView();
    ASSERT_NE(sv, nullptr);
    EXPECT_EQ(sv->documentView(), c->showVersionScrollView());

    c->whatIsNewVersionDiff(listOf(12));   // 12 × 30 = 360 points in a 160-point view
    ASSERT_EQ(c->showVersionScrollView()->frame().height(), 360);
    EXPECT_FALSE(sv->verticalScroller()->isHidden());
    EXPECT_EQ(sv->documentVisibleRect(), kit::Rect(0, 200, 414, 160));
    EXPECT_EQ(lineAt(*sv, 5), "1:Feature number 1");
    // Lines are 20 points high in a list measured at 30 a line: the last one
    // ends 120 points above the list's bottom edge, its origin.
    EXPECT_TRUE(kit::renderWindow(*c->window()).savePNG(uitest::renderDir() + "/update-list.png"));
    sv->scrollPoint(kit::Point{0, 0});
    EXPECT_EQ(lineAt(*sv, 30), "12:Feature number 12");

    // A second, short list comes back to the top and hides the scroller.
    c->whatIsNewVersionDiff(listOf(2));
    EXPECT_TRUE(sv->verticalScroller()->isHidden());
    EXPECT_DOUBLE_EQ(sv->verticalScroller()->doubleValue(), 0.0);
}

}  // namespace
