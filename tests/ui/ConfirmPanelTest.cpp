// The four confirmations laid over the main window: their buttons, which
// button tells the delegate what, that the panel has closed by then, and
// that a panel nobody else keeps survives its own click.
#include <memory>
#include <string>
#include <vector>

#include "Bootable/MakeSureCancelCloneSystemVC.h"
#include "Bootable/MakeSureToCloneSystemVC.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "FileCopy/CopyMakeSureWC.h"
#include "UiTest.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "kit/RunLoop.h"

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

}  // namespace
