// The window manager's close request (Alt+F4, a taskbar's close) as the
// program meets it: on the About and update windows it ends their modal run,
// on the main window it ends the program's run loop, like the close buttons;
// on a panel it is the panel's Cancel, and a busy panel stays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>

#include "AppDelegate.h"
#include "Bootable/MakeSureCancelCloneSystemVC.h"
#include "Bootable/MakeSureToCloneSystemVC.h"
#include "Comm/ErrorWindowController.h"
#include "DiskTool/FormatEndViewController.h"
#include "DiskTool/FormatingViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "FileCopy/CopyMakeSureWC.h"
#include "MainWindowController.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "kit/Dispatch.h"
#include "kit/Notification.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/Window.h"

namespace {

// What the window manager's close request delivers to the window.
void windowManagerClose(kit::Window& w) {
    QCloseEvent close;
    QApplication::sendEvent(kit::widgetOf(w), &close);
}

// Runs the application loop as the program does, with `during` queued on its
// first turn; returns the loop's code, or nullopt when it had to be stopped
// after `seconds`.
std::optional<int> runApplication(std::function<void()> during, double seconds = 10) {
    auto& app = kit::Application::shared();
    kit::ApplicationDelegate* savedDelegate = app.delegate();
    app.setDelegate(nullptr);
    bool timedOut = false;
    kit::Object guard;
    guard.performAfterDelay(0.05, std::move(during));
    guard.performAfterDelay(seconds, [&] {
        timedOut = true;
        app.stop(99);
    });
    int code = app.run();
    app.setDelegate(savedDelegate);
    if (timedOut) return std::nullopt;
    return code;
}

}  // namespace

TEST(WindowManagerClose, OnTheMainWindowEndsTheProgramsRunLoop) {
    kit::ensureUiApp();
    auto controller = std::make_shared<MainWindowController>();
    kit::Window* w = controller->window();
    ASSERT_NE(w, nullptr);
    w->makeKeyAndOrderFront();
    EXPECT_EQ(runApplication([&] { windowManagerClose(*w); }), std::optional<int>(0));
    EXPECT_FALSE(w->isVisible());

    // The close button ends it the same way.
    auto again = std::make_shared<MainWindowController>();
    again->window()->makeKeyAndOrderFront();
    kit::Button* close = again->window()->standardWindowButton(kit::WindowButtonKind::Close);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(runApplication([&] { close->performClick(); }), std::optional<int>(0));
}

TEST(WindowManagerClose, OnTheMainWindowDuringAModalRunEndsTheProgramToo) {
    kit::ensureUiApp();
    auto controller = std::make_shared<MainWindowController>();
    kit::Window* w = controller->window();
    w->makeKeyAndOrderFront();
    auto modal = std::make_shared<kit::Window>(kit::Rect(0, 0, 100, 100), kit::TitledWindowMask);
    long modalCode = 0;
    EXPECT_EQ(runApplication([&] {
                  kit::dispatch::after(0.05, kit::dispatch::mainQueue(), [&] { windowManagerClose(*w); });
                  modalCode = kit::Application::shared().runModalForWindow(*modal);
              }),
              std::optional<int>(0));
    EXPECT_EQ(modalCode, kit::ModalResponseContinue);   // cut short, never stopped
}

TEST(WindowManagerClose, OnTheAboutAndUpdateWindowsEndsTheirModalRun) {
    kit::ensureUiApp();
    AppDelegate delegate;
    for (auto open : {&AppDelegate::aboutMenuItemAction, &AppDelegate::checkUpdateMenuItemAction}) {
        std::string title;
        bool hidden = false;
        kit::Object guard;
        guard.performAfterDelay(0.2, [&] {
            kit::Window* modal = kit::Application::shared().modalWindow();
            ASSERT_NE(modal, nullptr);
            title = modal->title();
            windowManagerClose(*modal);
            hidden = !modal->isVisible();
        });
        // Should the close not end the run, this ends it so the test can fail.
        guard.performAfterDelay(8, [] { kit::Application::shared().abortModal(); });
        auto start = std::chrono::steady_clock::now();
        (delegate.*open)(nullptr);
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(title.empty());
        EXPECT_TRUE(hidden);
        EXPECT_LT(took, 5.0) << title;
        EXPECT_EQ(kit::Application::shared().modalWindow(), nullptr);
    }
}

#include <QRegion>
#include <QWidget>

#include "ToolWind/OVCheckUpdateWindowController.h"
#include "ToolWind/TCPreferenceWindowController.h"
#include "kit/ui/Render.h"

namespace {

// The rounded pop-up windows take the shape of what they draw: their clear
// corners are not part of the window, so no screen shows them black.
void expectRoundedShape(kit::Window& w) {
    w.makeKeyAndOrderFront();
    kit::runFor(0.1);
    QWidget* top = kit::widgetOf(w);
    QRegion shape = top->mask();
    ASSERT_FALSE(shape.isEmpty()) << w.title();
    const int width = top->width(), height = top->height();
    for (QPoint corner : {QPoint(0, 0), QPoint(width - 1, 0), QPoint(0, height - 1), QPoint(width - 1, height - 1)})
        EXPECT_FALSE(shape.contains(corner)) << w.title() << " " << corner.x() << "," << corner.y();
    for (QPoint inside : {QPoint(width / 2, height / 2), QPoint(width / 2, 5), QPoint(20, height / 2)})
        EXPECT_TRUE(shape.contains(inside)) << w.title() << " " << inside.x() << "," << inside.y();
    kit::Bitmap b = kit::renderWindow(w);
    EXPECT_EQ(b.pixel(0, 0).alpha, 0);
    EXPECT_EQ(b.pixel(b.width() - 1, b.height() - 1).alpha, 0);
    EXPECT_EQ(b.pixel(width / 2, height / 2).alpha, 1);
    w.orderOut();
}

}  // namespace

TEST(WindowShape, TheAboutAndUpdateWindowsHaveNoCornersToShowBlack) {
    kit::ensureUiApp();
    auto about = std::make_shared<TCPreferenceWindowController>();
    ASSERT_NE(about->window(), nullptr);
    expectRoundedShape(*about->window());
    auto update = std::make_shared<OVCheckUpdateWindowController>();
    ASSERT_NE(update->window(), nullptr);
    update->window()->setAlphaValue(1);
    expectRoundedShape(*update->window());
}

namespace {

class TerminateWatch : public kit::ApplicationDelegate {
public:
    void applicationWillTerminate() override { ++told; }
    int told = 0;
};

}  // namespace

TEST(ApplicationTerminate, InsideTheLoopEndsTheLoopAfterTellingTheDelegate) {
    kit::ensureUiApp();
    auto& app = kit::Application::shared();
    TerminateWatch watch;
    int posted = 0;
    auto token = kit::NotificationCenter::defaultCenter().addObserver(
        kit::ApplicationWillTerminateNotification, nullptr, [&](const kit::Notification&) { ++posted; });
    // The Quit item: the process is not ended from inside the loop (its
    // statics would be torn down after the toolkit's); the loop ends and the
    // entry function leaves.
    EXPECT_EQ(runApplication([&] {
                  app.setDelegate(&watch);
                  app.terminate(nullptr);
              }),
              std::optional<int>(0));
    kit::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(watch.told, 1);
    EXPECT_EQ(posted, 1);
}

namespace {

// What the panels' owners are told.
struct PanelOwner : MakeSureFormatVCDelegate, MakeSureCancelCloneSystemVCDelegate, MakeSureToCloneSystemVCDelegate,
                    CopyMakeSureWCDelegate, DMGMakeSureWCDelegate {
    void makeSureToFormatSelectVolumeWithName(const std::string&, const std::string&) override { log += "format "; }
    void cancelFormatVoluem() override { log += "format-cancelled "; }
    void cancelToCopySystem() override { log += "clone-stopped "; }
    void beginToCopySystem() override { log += "clone-started "; }
    void beginToCopyFiles() override { log += "copy-started "; }
    void beginToMakeDMGorZIP() override { log += "image-started "; }
    std::string log;
};

}  // namespace

// Each panel of the screens, closed by the window manager: gone as its Cancel
// (or its only button) takes it away, its owner told what that button tells;
// a question never starts or stops a job that way. The busy panel, which has
// no button, stays until its job ends.
TEST(WindowManagerClose, OnAPanelActsAsItsCancel) {
    kit::ensureUiApp();
    auto main = std::make_shared<kit::Window>(kit::Rect(100, 100, 888, 561), kit::TitledWindowMask);
    main->makeKeyAndOrderFront();
    PanelOwner owner;
    auto withOwner = [&](auto panel) {
        panel->setDelegate(&owner);
        return panel;
    };
    struct Case {
        std::shared_ptr<StatusPanelController> panel;
        std::string told;
        bool closes = true;
    };
    const std::vector<Case> cases = {
        {withOwner(std::make_shared<MakeSureFormatViewController>()), "format-cancelled "},
        {withOwner(std::make_shared<MakeSureToCloneSystemVC>()), ""},
        {withOwner(std::make_shared<MakeSureCancelCloneSystemVC>()), ""},   // the clone goes on
        {withOwner(std::make_shared<CopyMakeSureWC>()), ""},
        {withOwner(std::make_shared<DMGMakeSureWC>()), ""},
        {std::make_shared<ErrorWindowController>(), ""},
        {std::make_shared<FormatEndViewController>(), ""},
        {std::make_shared<FormatingViewController>(), "", false},
    };
    for (const Case& c : cases) {
        owner.log.clear();
        std::shared_ptr<StatusAttachedWindow> window = showStatusPanel(c.panel, *main);
        ASSERT_NE(window, nullptr) << c.panel->nibName();
        windowManagerClose(*window);
        EXPECT_EQ(window->isVisible(), !c.closes) << c.panel->nibName();
        EXPECT_EQ(main->childWindows().size(), c.closes ? 0u : 1u) << c.panel->nibName();
        EXPECT_EQ(owner.log, c.told) << c.panel->nibName();
        window->close();
    }
}
