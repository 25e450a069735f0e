// The four confirmations laid over the main window: their buttons, which
// button tells the delegate what, that the panel has closed by then, and
// that a panel nobody else keeps survives its own click; and every status
// panel covering the whole main window on the same frosted backdrop.
#include <memory>
#include <string>
#include <vector>

#include "Bootable/MakeSureCancelCloneSystemVC.h"
#include "Bootable/MakeSureToCloneSystemVC.h"
#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "DiskTool/FormatEndViewController.h"
#include "DiskTool/FormatingViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "FileCopy/CopyMakeSureWC.h"
#include "UiTest.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "MainLikeWindow.h"
#include "kit/RunLoop.h"
#include "kit/ui/Render.h"
#include "support/SimRoot.h"

namespace {

using kit::Rect;
using uitest::UiTest;

struct Recorder : CopyMakeSureWCDelegate,
                  DMGMakeSureWCDelegate,
                  MakeSureToCloneSystemVCDelegate,
                  MakeSureCancelCloneSystemVCDelegate {
    kit::Window* main = nullptr;
    std::weak_ptr<kit::Object> panel;
    std::vector<std::string> calls;

    void note(const std::string& what) {
        std::string seen = what;
        if (!main->childWindows().empty()) seen += " (panel still shown)";
        if (panel.expired()) seen += " (panel gone)";
        calls.push_back(seen);
    }
    void beginToCopyFiles() override { note("beginToCopyFiles"); }
    void beginToMakeDMGorZIP() override { note("beginToMakeDMGorZIP"); }
    void beginToCopySystem() override { note("beginToCopySystem"); }
    void cancelToCopySystem() override { note("cancelToCopySystem"); }
};

std::shared_ptr<kit::Window> mainLike() {
    auto w = std::make_shared<kit::Window>(Rect(300, 200, 888, 539), kit::TitledWindowMask | kit::ClosableWindowMask);
    w->orderFront();
    return w;
}

// Shows a fresh panel that only its window keeps, clicks one button and
// returns what the delegate heard.
template <class Panel>
std::vector<std::string> answer(bool done, bool withDelegate = true) {
    auto main = mainLike();
    Recorder recorder;
    recorder.main = main.get();
    std::weak_ptr<Panel> weak;
    {
        auto panel = std::make_shared<Panel>();
        weak = panel;
        recorder.panel = panel;
        if (withDelegate) panel->setDelegate(&recorder);
        showStatusPanel(panel, *main)->makeKeyWindow();
    }
    auto panel = weak.lock();
    kit::View* button = done ? static_cast<kit::View*>(panel->doneButton()) : panel->cancelButton();
    panel.reset();
    uitest::clickView(*button);
    EXPECT_TRUE(main->childWindows().empty()) << "either button closes the panel";
    kit::runUntil([&] { return weak.expired(); }, 2.0);
    EXPECT_TRUE(weak.expired()) << "the panel goes once its window closed";
    return recorder.calls;
}

using Calls = std::vector<std::string>;

TEST_F(UiTest, EachConfirmationTellsItsDelegateOnlyForItsOneButtonAfterClosing) {
    EXPECT_EQ(answer<CopyMakeSureWC>(true), Calls{"beginToCopyFiles"});
    EXPECT_EQ(answer<CopyMakeSureWC>(false), Calls{});
    EXPECT_EQ(answer<DMGMakeSureWC>(true), Calls{"beginToMakeDMGorZIP"});
    EXPECT_EQ(answer<DMGMakeSureWC>(false), Calls{});
    EXPECT_EQ(answer<MakeSureToCloneSystemVC>(true), Calls{"beginToCopySystem"});
    EXPECT_EQ(answer<MakeSureToCloneSystemVC>(false), Calls{});
    // Stopping a clone: "Cancel" stops it, "Continue" lets it go on.
    EXPECT_EQ(answer<MakeSureCancelCloneSystemVC>(false), Calls{"cancelToCopySystem"});
    EXPECT_EQ(answer<MakeSureCancelCloneSystemVC>(true), Calls{});
}

TEST_F(UiTest, AConfirmationWithoutDelegateStillCloses) {
    EXPECT_EQ(answer<CopyMakeSureWC>(true, false), Calls{});
    EXPECT_EQ(answer<MakeSureCancelCloneSystemVC>(false, false), Calls{});
}

template <class Panel>
void expectButtons(const std::string& doneText, bool titled) {
    auto panel = std::make_shared<Panel>();
    ASSERT_NE(panel->view(), nullptr);
    ASSERT_NE(panel->cancelButton(), nullptr);
    ASSERT_NE(panel->doneButton(), nullptr);
    EXPECT_TRUE(panel->cancelButton()->isUsable());
    EXPECT_EQ(panel->cancelButton()->textField()->stringValue(), "Cancel");
    EXPECT_EQ(panel->cancelButton()->normalImage()->name(), "btn_sec");
    EXPECT_TRUE(panel->doneButton()->isUsable());
    EXPECT_EQ(panel->doneButton()->textField()->stringValue(), doneText);
    EXPECT_EQ(panel->doneButton()->normalImage()->name(), "btn_pri");
    EXPECT_EQ(panel->titleLabel() != nullptr, titled);
    EXPECT_EQ(panel->titleBarView() != nullptr, titled);
    panel->closeWindow(nullptr);   // not shown yet: nothing happens
}

TEST_F(UiTest, EachConfirmationShowsCancelAndItsOwnPrimaryButton) {
    expectButtons<CopyMakeSureWC>("Copy Now", true);
    expectButtons<DMGMakeSureWC>("Create Image", false);
    expectButtons<MakeSureToCloneSystemVC>("Clone Now", true);
    expectButtons<MakeSureCancelCloneSystemVC>("Continue", true);
    MakeSureToCloneSystemVC clone;
    clone.view();
    EXPECT_NE(clone.nodeLabel(), nullptr);
}

// ---- one family over the main window ----

// The main window with a panel of this kind over it; the panel's window
// covers the main window's whole frame.
template <class Panel>
kit::Bitmap overTheMainWindow(kit::Window& main, const char* name) {
    auto panel = std::make_shared<Panel>();
    auto window = showStatusPanel(panel, main);
    EXPECT_NE(window, nullptr);
    if (!window) return kit::Bitmap();
    const Rect f = window->frame(), m = main.frame();
    EXPECT_TRUE(f.x() <= m.x() && f.y() <= m.y() && f.maxX() >= m.maxX() && f.maxY() >= m.maxY())
        << name << " leaves part of the main window uncovered";
    window->display();
    kit::Bitmap picture = kit::renderWindow(main);
    window->close();
    return picture;
}

TEST_F(UiTest, EveryStatusPanelLiesOverTheWholeMainWindowOnTheSameBackdrop) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    root.setSystemVersion("13.4");   // a system with the background blur
    auto main = uitest::mainLikeWindow(Rect(300, 200, 888, 561), 888, false);
    main->makeKeyAndOrderFront();
    const kit::Bitmap bare = kit::renderWindow(*main);
    const kit::Bitmap copy = overTheMainWindow<CopyMakeSureWC>(*main, "copy");
    ASSERT_EQ(copy.width(), bare.width());
    // The title strip is covered: its buttons no longer show as they are.
    int changed = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x) changed += copy.argb(x, y) != bare.argb(x, y);
    EXPECT_GT(changed, 200);
    // Around the panels' boxes (which lie between x 204 and 684) every panel
    // shows the same backdrop as the copy confirmation: title strip, tab
    // column, the right and the lower left.
    const std::pair<int, int> around[] = {{30, 8}, {80, 300}, {870, 100}, {10, copy.height() - 12}};
    const auto same = [&](const kit::Bitmap& other, const char* name) {
        ASSERT_EQ(other.height(), copy.height()) << name;
        for (auto [x, y] : around) EXPECT_EQ(other.argb(x, y), copy.argb(x, y)) << name << " at " << x << "," << y;
    };
    same(overTheMainWindow<DMGMakeSureWC>(*main, "disk image"), "disk image");
    same(overTheMainWindow<MakeSureToCloneSystemVC>(*main, "clone"), "clone");
    same(overTheMainWindow<MakeSureCancelCloneSystemVC>(*main, "stop clone"), "stop clone");
    same(overTheMainWindow<ErrorWindowController>(*main, "message"), "message");
    same(overTheMainWindow<MakeSureFormatViewController>(*main, "format"), "format");
    same(overTheMainWindow<FormatingViewController>(*main, "formatting"), "formatting");
    same(overTheMainWindow<FormatEndViewController>(*main, "format end"), "format end");
}

}  // namespace
