// The main window's tabs and tab lock, the link lookup, the update window's
// outcome views and the About window's link.
#include <gtest/gtest.h>

#include <cmath>

#include "Comm/LeftButton.h"
#include "Comm/TCImageWindow.h"
#include "MainWindowController.h"
#include "OVLinkUrl.h"
#include "ShellTestUtil.h"
#include "Disk/GetVolumes.h"
#include "DiskTool/RepairDiskViewController.h"
#include "ToolWind/OVCheckUpdateWindowController.h"
#include "ToolWind/TCPreferenceWindowController.h"
#include "kit/Defaults.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Render.h"
#include "kit/ui/RepeatingAnimation.h"
#include "kit/ui/TextField.h"
#include "support/EnvGuard.h"
#include "support/Gallery.h"
#include "support/SimRoot.h"

using namespace shelltest;

namespace {

int gExitStatus = -1;
void recordExit(int status) { gExitStatus = status; }

// The highlight has reached the tab and faded in.
bool highlightSettlesOn(MainWindowController& c, const LeftButton& tab) {
    kit::ImageView* h = c.selectBgImage();
    return kit::runUntil(
        [&] {
            return !kit::isAnimating(*h, "frame") && !kit::isAnimating(*h, "alphaValue") &&
                   h->frame().y() == tab.frame().y() - 14 && h->alphaValue() == 1.0;
        },
        5.0);
}

// Pending drawing has been done: a fifth of a second passes without any.
bool drawingSettles() {
    for (int i = 0; i < 25; ++i) {
        const unsigned long before = kit::View::drawCount();
        kit::runFor(0.2);
        if (kit::View::drawCount() == before) return true;
    }
    return false;
}

using TabAction = void (MainWindowController::*)(kit::Object*);

}  // namespace

TEST(MainWindowController, TabsFollowTheLockAndShowOnlyTheChosenHostView) {
    kit::ensureUiApp();
    auto controller = std::make_shared<MainWindowController>();
    ASSERT_NE(controller->window(), nullptr);
    ASSERT_NE(controller->aWindow(), nullptr);
    EXPECT_EQ(controller->aWindow()->titleBarHeight(), 25);
    kit::ImageView* highlight = controller->selectBgImage();
    ASSERT_NE(highlight, nullptr);
    EXPECT_EQ(highlight->frame(), kit::Rect(0, 409, 164, 80));
    EXPECT_TRUE(controller->tab_diskclone()->isAction());
    EXPECT_FALSE(controller->diskCopyView()->isHidden());
    for (kit::View* v : {controller->bootableView(), controller->dmgView(), controller->diskTool()})
        EXPECT_TRUE(v->isHidden());
    // The tabs lie above the highlight.
    auto& subviews = controller->window()->contentView()->subviews();
    auto indexOf = [&](kit::View* v) {
        for (size_t i = 0; i < subviews.size(); ++i)
            if (subviews[i].get() == v) return int(i);
        return -1;
    };
    EXPECT_LT(indexOf(highlight), indexOf(controller->tab_diskclone()));

    // Closed: every tab ignores clicks, the current one included.
    controller->canChangeTab(false);
    controller->tab_bootable()->performClick();
    controller->TopDiskToolButtonAction(nullptr);
    controller->TopCloneButtonAction(nullptr);
    kit::runFor(0.3);
    EXPECT_EQ(highlight->frame().y(), 409);
    EXPECT_TRUE(controller->tab_diskclone()->isAction());
    EXPECT_FALSE(controller->tab_bootable()->isAction());
    EXPECT_FALSE(controller->diskCopyView()->isHidden());
    EXPECT_TRUE(controller->bootableView()->isHidden());

    // Open: the highlight glides (for 0.2 s, slowed down here so that a busy
    // machine still sees it on its way), the chosen host view alone shows.
    controller->canChangeTab(true);
    {
        EnvGuard slow("PELORIN_TIME_SCALE", "5");
        controller->tab_createImage()->performClick();
    }
    EXPECT_NE(highlight->frame().y(), 305);  // not there at once
    ASSERT_TRUE(kit::runUntil([&] { return highlight->frame().y() < 409; }, 5.0));
    EXPECT_GT(highlight->frame().y(), 305) << "on its way";
    ASSERT_TRUE(highlightSettlesOn(*controller, *controller->tab_createImage()));
    EXPECT_EQ(highlight->frame(), kit::Rect(0, 305, 164, 80));
    EXPECT_DOUBLE_EQ(highlight->alphaValue(), 1.0);
    EXPECT_TRUE(controller->tab_createImage()->isAction());
    for (LeftButton* t : {controller->tab_diskclone(), controller->tab_bootable(), controller->tab_disktool()})
        EXPECT_FALSE(t->isAction());
    EXPECT_FALSE(controller->dmgView()->isHidden());
    for (kit::View* v : {controller->diskCopyView(), controller->bootableView(), controller->diskTool()})
        EXPECT_TRUE(v->isHidden());

    controller->BootableButtonAction(nullptr);
    EXPECT_TRUE(highlightSettlesOn(*controller, *controller->tab_bootable()));
    controller->TopDiskToolButtonAction(nullptr);
    EXPECT_TRUE(highlightSettlesOn(*controller, *controller->tab_disktool()));
    EXPECT_EQ(highlight->frame().y(), 253);
    EXPECT_FALSE(controller->diskTool()->isHidden());

    // The close button ends the process at once with status 0.
    auto saved = MainWindowController::exitProcess;
    MainWindowController::exitProcess = recordExit;
    controller->window()->standardWindowButton(kit::WindowButtonKind::Close)->performClick();
    MainWindowController::exitProcess = saved;
    EXPECT_EQ(gExitStatus, 0);
}

TEST(OVLinkUrl, TheLanguageTableFallsBackToEnglish) {
    kit::Value data = kit::Value::dict();
    data["en"].set("Support", "https://en.example/support");
    data["en"].set("OnlineHelp", "https://en.example/help");
    data["de"].set("Support", "");
    data["de"].set("OnlineHelp", "https://de.example/hilfe");
    data["fr"].set("Other", "https://fr.example/");

    EXPECT_EQ(OVLinkUrl::urlInPrivateData(data, "de", "OnlineHelp"), "https://de.example/hilfe");
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(data, "de", "Support"), "https://en.example/support");   // empty entry
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(data, "fr", "Support"), "https://en.example/support");   // no entry
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(data, "de-AT", "OnlineHelp"), "https://en.example/help"); // taken as stored
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(data, std::nullopt, "OnlineHelp"), "https://en.example/help");
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(data, "de", "IniURL"), std::nullopt);

    kit::Value noEnglish = kit::Value::dict();
    noEnglish["de"].set("Support", "https://de.example/support");
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(noEnglish, "de", "SupportTeam"), std::nullopt);
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(noEnglish, "de", "Support"), "https://de.example/support");
    EXPECT_EQ(OVLinkUrl::urlInPrivateData(noEnglish, "fr", "Support"), std::nullopt);

    // The bundle's own table, read afresh for the preferred language.
    kit::UserDefaults::standard().setObject("AppleLanguages", kit::Value(kit::Value::Array{"de", "en"}));
    EXPECT_EQ(OVLinkUrl::GetUrl("Support"), "https://www.pelorin.org/de/support/");
    kit::UserDefaults::standard().setObject("AppleLanguages", kit::Value(kit::Value::Array{"xx"}));
    EXPECT_EQ(OVLinkUrl::GetUrl("Support"), "https://www.pelorin.org/support/");
    EXPECT_EQ(OVLinkUrl::GetUrl("NoSuchKey"), std::nullopt);
}

namespace {

std::shared_ptr<OVCheckUpdateWindowController> openUpdateWindow() {
    kit::ensureUiApp();
    auto controller = std::make_shared<OVCheckUpdateWindowController>();
    EXPECT_NE(controller->window(), nullptr);
    return controller;
}

std::vector<kit::TextField*> featureLines(OVCheckUpdateWindowController& c) {
    std::vector<kit::TextField*> out;
    for (auto& v : c.showVersionScrollView()->subviews())
        if (auto* t = dynamic_cast<kit::TextField*>(v.get())) out.push_back(t);
    return out;
}

int shownStateViews(OVCheckUpdateWindowController& c) {
    int n = 0;
    for (kit::View* v : {c.checkProgressView(), c.noNetworkView(), c.noUpdateView(), c.haveUpdateView()})
        if (!v->isHidden()) ++n;
    return n;
}

}  // namespace

TEST(OVCheckUpdateWindowController, ComparesVersionsAndListsTheNewFeatures) {
    auto c = openUpdateWindow();
    EXPECT_FALSE(c->checkProgressView()->isHidden());

    kit::Value same = kit::Value::dict();
    same.set("Version", "2.0");
    same.set("VersionCheck", "20");
    same.set("1", "Nothing new");
    c->whatIsNewVersionDiff(same);
    EXPECT_FALSE(c->noUpdateView()->isHidden());
    EXPECT_EQ(shownStateViews(*c), 1);
    EXPECT_TRUE(featureLines(*c).empty());

    // A list that could not be fetched counts as no update.
    c->whatIsNewVersionDiff(std::nullopt);
    EXPECT_FALSE(c->noUpdateView()->isHidden());
    EXPECT_EQ(shownStateViews(*c), 1);

    kit::Value newer = kit::Value::dict();
    newer.set("Version", "2.1");
    newer.set("VersionCheck", "21");
    newer.set("2", "Faster copies");
    newer.set("1", "Clone to larger disks");
    newer.set("3", "Zip archives of a selection");
    c->whatIsNewVersionDiff(newer);
    EXPECT_FALSE(c->haveUpdateView()->isHidden());
    EXPECT_EQ(shownStateViews(*c), 1);
    EXPECT_EQ(c->versionLabel()->stringValue(), "New features of version 2.1:");
    auto lines = featureLines(*c);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->stringValue(), "1:Clone to larger disks");
    EXPECT_EQ(lines[1]->stringValue(), "2:Faster copies");
    EXPECT_EQ(lines[2]->stringValue(), "3:Zip archives of a selection");
    // Three short lines need less than the minimum height; line j sits j heights below the top.
    EXPECT_EQ(c->showVersionScrollView()->frame(), kit::Rect(0, 0, 414, 121));
    EXPECT_EQ(lines[0]->frame(), kit::Rect(0, 121 - 20, 414, 20));
    EXPECT_EQ(lines[2]->frame(), kit::Rect(0, 121 - 3 * 20, 414, 20));
}

// Waits for the window's own check (which finds no network here) so its result
// can't land on top of a list the test shows.
std::shared_ptr<OVCheckUpdateWindowController> openSettledUpdateWindow() {
    auto c = openUpdateWindow();
    EXPECT_TRUE(kit::runUntil([&] { return !c->noNetworkView()->isHidden(); }, 15.0));
    return c;
}

TEST(OVCheckUpdateWindowController, EmptyAndLongListsGetTheirHeights) {
    auto c = openSettledUpdateWindow();
    kit::Value bare = kit::Value::dict();
    bare.set("Version", "3.0");
    bare.set("VersionCheck", kit::Value(30));
    c->whatIsNewVersionDiff(bare);
    EXPECT_FALSE(c->haveUpdateView()->isHidden());
    EXPECT_EQ(c->showVersionScrollView()->frame(), kit::Rect(0, 0, 414, 121));
    EXPECT_TRUE(featureLines(*c).empty());

    auto d = openSettledUpdateWindow();
    kit::Value many = kit::Value::dict();
    many.set("Version", "3.0");
    many.set("VersionCheck", "30");
    std::string longText(400, 'w');
    for (int i = 1; i <= 6; ++i) many.set(std::to_string(i), i == 4 ? longText : "Short line");
    d->whatIsNewVersionDiff(many);
    double height = d->showVersionScrollView()->frame().height();
    double tall = OVCheckUpdateWindowController::heightForStringDrawing(longText, kit::Font::systemFont(10), 200);
    EXPECT_GT(tall, 30);
    EXPECT_DOUBLE_EQ(height, 5 * 30 + tall);
    auto lines = featureLines(*d);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_GT(lines[3]->frame().height(), 20);
    EXPECT_EQ(lines[3]->toolTip(), longText);
}

TEST(OVCheckUpdateWindowController, NoNetworkAndALateResultAfterClosing) {
    // Nothing answers here: the reachability test fails and the no-network
    // view shows, without a fetch.
    auto c = openUpdateWindow();
    ASSERT_TRUE(kit::runUntil([&] { return !c->noNetworkView()->isHidden(); }, 15.0));
    EXPECT_EQ(shownStateViews(*c), 1);

    // A window closed and released before its check ends is left alone (the
    // address checker fails the run on any touch of it).
    auto gone = openUpdateWindow();
    gone->closeWindow(nullptr);
    gone.reset();

    // A late result changes nothing of a window whose check was given up: this
    // one is kept to be looked at, the token of its check dropped at once.
    auto d = openSettledUpdateWindow();
    d->closeWindow(nullptr);
    d->noNetworkView()->setHidden(true);
    d->checkProgressView()->setHidden(false);
    OVCheckUpdateWindowController::getVersionChange(d.get(), std::make_shared<int>(0));
    // A live check started after both ends no sooner than they do.
    auto e = openSettledUpdateWindow();
    e->noNetworkView()->setHidden(true);
    OVCheckUpdateWindowController::getVersionChange(e.get(), e->lifetime());
    ASSERT_TRUE(kit::runUntil([&] { return !e->noNetworkView()->isHidden(); }, 15.0));
    kit::runFor(0.2);
    EXPECT_TRUE(d->noNetworkView()->isHidden());
    EXPECT_FALSE(d->checkProgressView()->isHidden());
    EXPECT_EQ(shownStateViews(*d), 1);
}

TEST(TCPreferenceWindowController, TheLinkIsUnderlinedBlueHelveticaLight) {
    kit::ensureUiApp();
    auto c = std::make_shared<TCPreferenceWindowController>();
    ASSERT_NE(c->window(), nullptr);
    kit::Button* link = c->linkButton();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->title(), "www.pelorin.org");
    EXPECT_EQ(link->font(), kit::Font::fontWithName("Helvetica Light", 14));
    EXPECT_EQ(link->font().pointSize(), 14);
    auto* cell = dynamic_cast<TCLinkButtonCell*>(link->buttonCell());
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(cell->underlined());
    EXPECT_EQ(cell->titleColor(), kit::Color::rgb255(65, 98, 255, 1));
    EXPECT_EQ(link->target(), c.get());
    EXPECT_EQ(link->action(), "linkButtonAction");
    EXPECT_EQ(c->aWindow()->titleBarHeight(), 38);
}

TEST(TCPreferenceWindowController, TheLinkLinesUpWithTheTextAboveIt) {
    kit::ensureUiApp();
    auto c = std::make_shared<TCPreferenceWindowController>();
    ASSERT_NE(c->window(), nullptr);
    gallery::save(kit::renderWindow(*c->window()), "about", "about-window");
    // The first inked column of a view's picture, in its superview's coordinates.
    const auto inkLeft = [](kit::View& v) {
        const kit::Bitmap bm = kit::renderView(v);
        for (int x = 0; x < bm.width(); ++x)
            for (int y = 0; y < bm.height(); ++y)
                if ((bm.argb(x, y) >> 24) > 64) return v.frame().x() + x;
        return -1.0;
    };
    const double text = inkLeft(*c->verson());
    ASSERT_GE(text, 0);
    EXPECT_NEAR(inkLeft(*c->Introduction()), text, 1.5);
    EXPECT_NEAR(inkLeft(*c->linkButton()), text, 1.5);
}

TEST(MainWindowController, TabTitlesShowWholeInEveryState) {
    kit::ensureUiApp();
    auto controller = std::make_shared<MainWindowController>();
    ASSERT_NE(controller->window(), nullptr);
    const std::pair<LeftButton*, const char*> tabs[] = {{controller->tab_diskclone(), "Disk Copy"},
                                                       {controller->tab_bootable(), "OS Clone"},
                                                       {controller->tab_createImage(), "Disk Image Create"},
                                                       {controller->tab_disktool(), "Disk Manager"}};
    for (auto [tab, title] : tabs) {
        for (bool selected : {true, false}) {
            tab->setButtonAction(selected);
            kit::TextField* label = tab->textField();
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->stringValue(), title);
            // Every title in the same 12-point face, bold when selected.
            const kit::Font f = label->font();
            EXPECT_EQ(f, selected ? kit::Font::boldSystemFont(12) : kit::Font::systemFont(12)) << title;
            // One line, the whole title within the label's text area, the
            // label within its tab.
            double room = label->textCell()->titleRectForBounds(label->bounds()).width();
            EXPECT_LE(f.sizeOfString(title).width, room) << title << (selected ? " selected" : "");
            EXPECT_LE(f.lineHeight(), label->bounds().height()) << title;
            EXPECT_TRUE(kit::rectContainsRect(tab->bounds(), label->frame())) << title;
        }
    }
}

TEST(MainWindowController, TheSelectedTabsTitleStaysInsideItsHighlight) {
    kit::ensureUiApp();
    auto controller = std::make_shared<MainWindowController>();
    ASSERT_NE(controller->window(), nullptr);
    kit::ImageView* highlight = controller->selectBgImage();
    const std::pair<LeftButton*, TabAction> tabs[] = {
        {controller->tab_diskclone(), &MainWindowController::TopCloneButtonAction},
        {controller->tab_bootable(), &MainWindowController::BootableButtonAction},
        {controller->tab_createImage(), &MainWindowController::TopDmgButtonAction},
        {controller->tab_disktool(), &MainWindowController::TopDiskToolButtonAction}};
    for (auto [tab, action] : tabs) {
        ((*controller).*action)(nullptr);
        kit::TextField* label = tab->textField();
        const std::string title = label->stringValue();
        ASSERT_TRUE(highlightSettlesOn(*controller, *tab)) << title;
        // Where the title's text ends, in the highlight's own coordinates.
        const kit::Rect text = label->textCell()->titleRectForBounds(label->bounds());
        const double textRight = tab->frame().x() + label->frame().x() + text.x() + label->font().sizeOfString(title).width;
        const double midY = tab->frame().y() + label->frame().midY() - highlight->frame().y();
        // The card of the highlight picture (opaque; its soft shadow is not) on that line.
        const kit::Bitmap card = kit::renderView(*highlight);
        const int row = card.height() - 1 - int(midY);
        int cardRight = -1;
        for (int x = 0; x < card.width(); ++x)
            if ((card.argb(x, row) >> 24) > 128) cardRight = x + 1;
        EXPECT_LE(textRight + 2, cardRight) << title;
    }
}

// Pictures of the main window with each tab selected.
TEST(MainWindowController, GalleryOfTheTabs) {
    kit::ensureUiApp();
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    auto controller = std::make_shared<MainWindowController>();
    ASSERT_NE(controller->window(), nullptr);
    const std::tuple<LeftButton*, TabAction, const char*> tabs[] = {
        {controller->tab_diskclone(), &MainWindowController::TopCloneButtonAction, "tab-1-disk-copy"},
        {controller->tab_bootable(), &MainWindowController::BootableButtonAction, "tab-2-os-clone"},
        {controller->tab_createImage(), &MainWindowController::TopDmgButtonAction, "tab-3-disk-image-create"},
        {controller->tab_disktool(), &MainWindowController::TopDiskToolButtonAction, "tab-4-disk-manager"}};
    for (auto [tab, action, name] : tabs) {
        ((*controller).*action)(nullptr);
        ASSERT_TRUE(highlightSettlesOn(*controller, *tab)) << name;
        gallery::save(kit::renderWindow(*controller->window()), "main-window", name);
    }
}

// A window left alone draws nothing and moves nothing, whichever tab shows:
// no animation of a page that is hidden (the progress pages with their
// stripes), and no drawing that asks for more drawing.
TEST(MainWindowController, AnIdleWindowDrawsNothingOnAnyTab) {
    kit::ensureUiApp();
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    auto controller = std::make_shared<MainWindowController>();
    ASSERT_NE(controller->window(), nullptr);
    controller->window()->orderFront();
    // The volume lists are in and shown: what comes later is idle time.
    GetVolumes& volumes = GetVolumes::Instance();
    ASSERT_TRUE(kit::runUntil(
        [&] {
            return !volumes.isScanningVolumes() && !volumes.isScanningExVolumes() &&
                   controller->repairDiskVC()->loadProView()->isHidden();
        },
        60.0));
    const std::pair<LeftButton*, TabAction> tabs[] = {
        {controller->tab_diskclone(), &MainWindowController::TopCloneButtonAction},
        {controller->tab_bootable(), &MainWindowController::BootableButtonAction},
        {controller->tab_createImage(), &MainWindowController::TopDmgButtonAction},
        {controller->tab_disktool(), &MainWindowController::TopDiskToolButtonAction}};
    for (auto [tab, action] : tabs) {
        const std::string title = tab->textField()->stringValue();
        ((*controller).*action)(nullptr);
        ASSERT_TRUE(highlightSettlesOn(*controller, *tab)) << title;
        EXPECT_TRUE(drawingSettles()) << title << ": it never stops drawing";
        const unsigned long draws = kit::View::drawCount(), ticks = kit::RepeatingAnimation::tickCount();
        kit::runFor(1.0);
        EXPECT_EQ(kit::View::drawCount() - draws, 0u) << title << ": views drawn in an idle second";
        EXPECT_EQ(kit::RepeatingAnimation::tickCount() - ticks, 0u) << title << ": animation steps in an idle second";
    }
}
