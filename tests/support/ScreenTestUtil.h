#pragma once
// What the tests of the main window's tabs share: files and trees on disk, the
// panels laid over the main window, clicks as the user makes them, and the
// fixture of the two tabs with a source and a destination slot ("Disk Copy",
// "Disk Image Create"): the real main window with the tab's screen, the real
// volume records of the simulated machine and the drive picker's hand-back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/StatusAttachedWindow.h"
#include "Comm/SelectValueView.h"
#include "Disk/GetVolumes.h"
#include "Disk/VolumeObj.h"
#include "MainWindowController.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"
#include "ui/UiTest.h"

namespace screentest {

namespace fs = std::filesystem;

// The messages of the two tabs' start checks, as the user reads them.
constexpr const char* kDestinationGone =
    "The destination drive is no longer available or has changed, so nothing was done. Please select it again.";
constexpr const char* kSourceGone =
    "The source drive is no longer available or has changed, so nothing was done. Please select it again.";
constexpr const char* kNoSpace = "Insufficient disk space on this destination drive, please select another drive.";

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
// A tree as relative path -> "dir", "file:<bytes>" or "link:<target>".
std::map<std::string, std::string> treeOf(const std::string& root);
// Files directly in a folder whose name ends with the suffix.
std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& suffix);

// The status windows over the main window that are on screen.
std::vector<kit::Window*> statusWindows(MainWindowController& main);

// Whether a panel is shown in its status window.
template <class Panel>
bool onScreen(const std::shared_ptr<Panel>& panel) {
    return panel && panel->superDelegate() && panel->superDelegate()->isVisible();
}
// The panel while it is shown, else null.
template <class Panel>
std::shared_ptr<Panel> ifOnScreen(const std::shared_ptr<Panel>& panel) {
    return onScreen(panel) ? panel : nullptr;
}

// A click as the user makes it: nothing happens on a button that is not usable.
inline void click(kit::View* v) {
    ASSERT_NE(v, nullptr);
    uitest::clickView(*v);
    kit::runFor(0.02);
}

// The window of every test is put away at its end.
void orderOutAllWindows();

// The shared volume list scanned afresh on the test's machine (the provider
// outlives the machine of an earlier test); false when a scan never ends.
bool rescanSharedVolumes();

// A tab with a source slot (1) and a destination slot (2). Screen is the tab's
// controller, Confirmation the panel its start button opens; the derived
// fixture tells which of the main window's screens it drives.
template <class Screen, class Confirmation>
class TwoSlotScreenTest : public ::testing::Test {
protected:
    // timeScale, when given, is PELORIN_TIME_SCALE while the test runs.
    explicit TwoSlotScreenTest(const char* timeScale = nullptr) {
        if (timeScale) timeScale_ = std::make_unique<EnvGuard>("PELORIN_TIME_SCALE", timeScale);
    }

    virtual Screen* screenOf(MainWindowController& main) = 0;
    // Brings the tab to the front, where it is not the one shown at start.
    virtual void showTab() {}

    void SetUp() override {
        kit::ensureUiApp();
        ASSERT_TRUE(sim.ok()) << sim.error();
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        screen = screenOf(*main);
        ASSERT_NE(screen, nullptr);
        showTab();
        if (HasFatalFailure()) return;
        provider = GetVolumes::create();
        volumes = provider->getVolumes();
        ASSERT_TRUE(kit::runUntil([&] { return !volumes->empty() && !provider->isScanningVolumes(); }, 30));
    }
    void TearDown() override { orderOutAllWindows(); }

    // A fresh record of a mounted volume, as a scan makes it.
    std::shared_ptr<VolumeObj> volume(const std::string& name) {
        for (const auto& v : volumes->snapshot())
            if (v->volumeName() == name) return v;
        ADD_FAILURE() << "no volume " << name;
        return nullptr;
    }

    // A slot click followed by the picker's hand-back.
    void choose(int slotId, const std::shared_ptr<VolumeObj>& v) {
        SelectValueView* slot = slotId == 1 ? screen->selectFromVC() : screen->selectToVC();
        screen->selectDiskButton(slotId, slot->selectDiskBut());
        screen->doSelectDiskWithVolume(v);
        // The popover fades out before the next slot can open it again.
        kit::runUntil([&] { return !screen->popoverController() || !screen->popoverController()->popoverIsVisible(); }, 5);
        kit::runFor(0.02);
    }

    // The demo machine's USB volume as the source, Backup as the destination.
    void chooseUsbToBackup() {
        choose(1, volume("USB"));
        choose(2, volume("Backup"));
    }

    std::vector<kit::Window*> statusWindows() { return screentest::statusWindows(*main); }
    // The open confirmation, if any.
    std::shared_ptr<Confirmation> confirmation() { return ifOnScreen(screen->makeSureWC()); }
    // The texts of the open message panels ("?" for all but the latest).
    std::vector<std::string> messages() {
        size_t n = statusWindows().size() - (confirmation() ? 1 : 0);
        std::vector<std::string> out(n, "?");
        if (n && screen->errorWC()) out.back() = screen->errorWC()->errorLabel()->stringValue();
        return out;
    }
    void closeMessages() {
        for (kit::Window* w : statusWindows())
            if (!confirmation() || confirmation()->superDelegate().get() != w) w->close();
        kit::runFor(0.05);
    }

    // The start button on the page, then the confirmation's once it shows,
    // and the run past the reading of its drives (true when it goes on).
    bool start() {
        click(screen->cloneButton());
        if (!kit::runUntil([&] { return confirmation() || !messages().empty(); }, 20)) return false;
        if (!confirmation() || statusWindows().size() != 1) return false;
        uitest::clickView(*confirmation()->doneButton());
        return pastTheDrives();
    }
    // Waits for the reading of the drives at a run's start; whether the run
    // went on (its page stays, running or at its end) rather than being refused.
    bool pastTheDrives() {
        EXPECT_TRUE(kit::runUntil([&] { return !screen->isCheckingVolumes(); }, 60));
        return !screen->copyProgressView()->isHidden();
    }
    // "Create Now"/"Copy Now" on the page, the machine changed behind the page's
    // back while the confirmation is open, then the confirmation's button.
    // Whether the run went on past the reading of its drives.
    bool confirmAfter(const std::function<void(sim::Machine&)>& change) {
        click(screen->cloneButton());
        if (!kit::runUntil([&] { return confirmation() != nullptr; }, 20)) {
            ADD_FAILURE() << "no confirmation";
            return false;
        }
        EXPECT_TRUE(sim.update(change));
        uitest::clickView(*confirmation()->doneButton());
        return pastTheDrives();
    }
    // Changes of the demo machine: Backup's drive ejected; in its place a
    // 500 MB disk image whose volume is also named "Backup" (mounted at the
    // same folder); Backup's container with only so many bytes free.
    static void ejectBackup(sim::Machine& m) { EXPECT_TRUE(m.removeDisk("disk6")); }
    static void anotherBackupInItsPlace(sim::Machine& m) {
        ejectBackup(m);
        sim::Disk image;
        image.registryName = image.mediaName = image.busProtocol = "Disk Image";
        image.ejectable = image.removable = image.isVirtual = true;
        image.content = sim::kGuidScheme;
        image.size = 500000000;
        sim::Volume v;
        v.content = "Apple_HFS";
        v.name = "Backup";
        v.filesystem = "Journaled HFS+";
        v.size = v.totalSize = v.freeSpace = image.size;
        v.mountPoint = m.hostPath("/Volumes/Backup");
        image.volumes.push_back(v);
        m.addDisk(image);
    }
    static void backupWithFree(sim::Machine& m, int64_t bytes) { m.findDisk("disk7")->containerFree = bytes; }
    // What a run has written anywhere on the machine: entries named like its products.
    std::vector<std::string> products() {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(sim.root(), fs::directory_options::skip_permission_denied))
            if (e.path().filename().string().rfind("Pelorin(", 0) == 0) out.push_back(e.path().string());
        return out;
    }
    // The first page again, the tabs free, no run.
    bool backOnFirstPage() {
        return !screen->isRunning() && !screen->selectDiskView()->isHidden() &&
               screen->copyProgressView()->isHidden() && main->isTabChangeAllowed();
    }

    bool waitForEndView(double seconds = 60) {
        return kit::runUntil([&] { return !screen->endView()->isHidden(); }, seconds);
    }
    bool successShown() {
        return !screen->endView()->isHidden() && !screen->sussView()->isHidden() && screen->failView()->isHidden();
    }
    bool failureShown() {
        return !screen->endView()->isHidden() && !screen->failView()->isHidden() && screen->sussView()->isHidden();
    }

private:
    std::unique_ptr<EnvGuard> timeScale_;   // set before the machine is made, put back after it is gone

protected:
    sim::SimRoot sim{"demo"};
    std::shared_ptr<MainWindowController> main;
    Screen* screen = nullptr;
    std::shared_ptr<GetVolumes> provider;
    std::shared_ptr<VolumeList> volumes;
};

}  // namespace screentest
